// Reads every member of a MessageObject the way a host would, so that a bad
// value (a dangling text, an inconsistent list entry) surfaces under the
// sanitizers, and checks the invariants the object promises. A broken
// invariant aborts: the fuzzer records it as a crash.
#pragma once

#include <cstdint>
#include <string_view>

#include "korvane/message_object.hpp"

namespace korvane::fuzzing {

// The names MessageObject answers to by GetMember / PutMember.
inline constexpr std::string_view kMemberNames[] = {
    "ServiceType",
    "SourceAddress",
    "SourceAddressTON",
    "SourceAddressNPI",
    "DestAddress",
    "DestAddressTON",
    "DestAddressNPI",
    "MessageType",
    "MessageMode",
    "MessageState",
    "Priority",
    "ValidityRelative",
    "ValiditySeconds",
    "ValidityHours",
    "ReplaceIfPresent",
    "DataCoding",
    "ShortMessage",
    "RegisteredDelivery",
    "ProtocolID",
    "SequenceNumber",
    "MessageID",
    "DeliveryStatus",
    "DeliveryErrorCode",
    "CallbackNumber",
    "CallbackNumberTON",
    "CallbackNumberNPI",
    "CancelResultCode",
    "ShortMessageBytes",
    "PayloadBytes",
    "Payload",
    "UnsuccessfulDeliveries",
    "DefaultMsgId",
    "UserMessageReference",
    "ValidityPeriodString",
    "Recipients.Count",
    "TLVs.Count",
};

// Touches every member, reads each one by name, and aborts on a broken
// invariant of the validated properties. Returns a digest of what it read,
// so nothing is optimised away.
uint64_t InspectMessage(const MessageObject& message);

// The invariants of a message the library built itself (a received one):
// at most 254 recipients, every TLV's TagLength its value's length, tags
// within 16 bits. Lists a host filled directly need not keep them.
void CheckBuiltByLibrary(const MessageObject& message);

// Prints `what` and aborts.
[[noreturn]] void Broken(std::string_view what);

}  // namespace korvane::fuzzing
