// The one table of the wire protocol's fixed numbers and of the component's
// field limits: the layout of the 16-octet PDU header, the command ids with
// their names, the fixed sequence numbers of the bind and enquire_link
// requests, the tags of the optional parameters the component reads or
// writes itself, the field sizes, the framing limits, and the component's
// source name. Every other place takes them from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane::vocabulary {

// Header: four big-endian 32-bit fields; the body follows at kHeaderLength.
inline constexpr std::size_t kHeaderLength = 16;
inline constexpr std::size_t kCommandLengthOffset = 0;
inline constexpr std::size_t kCommandIdOffset = 4;
inline constexpr std::size_t kCommandStatusOffset = 8;
inline constexpr std::size_t kSequenceNumberOffset = 12;

// A response's command_id is its request's with this bit set.
inline constexpr uint32_t kResponseBit = 0x80000000;

inline constexpr uint32_t kGenericNack = 0x80000000;
inline constexpr uint32_t kBindReceiver = 0x00000001;
inline constexpr uint32_t kBindReceiverResp = 0x80000001;
inline constexpr uint32_t kBindTransmitter = 0x00000002;
inline constexpr uint32_t kBindTransmitterResp = 0x80000002;
inline constexpr uint32_t kQuerySm = 0x00000003;
inline constexpr uint32_t kQuerySmResp = 0x80000003;
inline constexpr uint32_t kSubmitSm = 0x00000004;
inline constexpr uint32_t kSubmitSmResp = 0x80000004;
inline constexpr uint32_t kDeliverSm = 0x00000005;
inline constexpr uint32_t kDeliverSmResp = 0x80000005;
inline constexpr uint32_t kUnbind = 0x00000006;
inline constexpr uint32_t kUnbindResp = 0x80000006;
inline constexpr uint32_t kCancelSm = 0x00000008;
inline constexpr uint32_t kCancelSmResp = 0x80000008;
inline constexpr uint32_t kBindTransceiver = 0x00000009;
inline constexpr uint32_t kBindTransceiverResp = 0x80000009;
inline constexpr uint32_t kEnquireLink = 0x00000015;
inline constexpr uint32_t kEnquireLinkResp = 0x80000015;
inline constexpr uint32_t kSubmitMulti = 0x00000021;
inline constexpr uint32_t kSubmitMultiResp = 0x80000021;
// data_sm from the SMSC is answered and received like a deliver_sm.
inline constexpr uint32_t kDataSm = 0x00000103;
inline constexpr uint32_t kDataSmResp = 0x80000103;
// Taken without an answer: the protocol gives it none.
inline constexpr uint32_t kAlertNotification = 0x00000102;
// Known by name only: the component neither sends nor handles them; from
// the SMSC they are answered with a generic_nack.
inline constexpr uint32_t kReplaceSm = 0x00000007;
inline constexpr uint32_t kOutbind = 0x0000000B;

// The command_status of the generic_nack that answers a request the session
// does not handle: invalid command id.
inline constexpr uint32_t kStatusInvalidCommandId = 0x00000003;
// ESME_RX_T_APPNACK: the application could not take the message now.
inline constexpr uint32_t kStatusTemporaryAppError = 0x00000064;

// The command's name ("submit_sm", "submit_sm_resp", "generic_nack"), or its
// id as "0x00000123" when it is not known.
std::string CommandName(uint32_t command_id);

// Requests sent with a fixed sequence_number; they leave the counter alone.
inline constexpr int32_t kBindReceiverSequence = 2;
inline constexpr int32_t kBindTransmitterSequence = 1;
inline constexpr int32_t kBindTransceiverSequence = 2;
inline constexpr int32_t kEnquireLinkSequence = 1;

// Optional-parameter tags.
inline constexpr uint16_t kTagReceiptedMessageId = 0x001E;
inline constexpr uint16_t kTagUserMessageReference = 0x0204;
inline constexpr uint16_t kTagCallbackNum = 0x0381;
inline constexpr uint16_t kTagMessagePayload = 0x0424;
inline constexpr uint16_t kTagMessageState = 0x0427;

// Octets of an optional parameter's tag and length fields.
inline constexpr std::size_t kTlvHeaderLength = 4;
inline constexpr std::size_t kMaxTlvValueLength = 0xFFFF;

// Field limits, in characters or octets. sm_length and number_of_dests are
// one octet each.
inline constexpr std::size_t kMaxShortMessageLength = 255;
inline constexpr std::size_t kMaxNumberOfDests = 255;
// The recipients a MessageObject holds, one short of number_of_dests.
inline constexpr std::size_t kMaxRecipients = 254;
// The characters of a recipient's address the MessageObject keeps.
inline constexpr std::size_t kMaxRecipientAddressLength = 21;
// The digits callback_num carries.
inline constexpr std::size_t kMaxCallbackNumberLength = 15;
// The characters of a bind's address_range.
inline constexpr std::size_t kMaxAddressRangeLength = 41;

// Framing: the header alone is the shortest PDU. The longest leaves room for
// a 64 KiB message_payload together with every other field and a few more
// optional parameters of that size; anything longer is taken for a broken
// stream rather than buffered without bound.
inline constexpr uint32_t kMinCommandLength = 16;
inline constexpr uint32_t kMaxCommandLength = 256 * 1024;

// The source of the component's errors and events, and its title.
inline constexpr char kComponentSource[] = "KorvaneSMPP";

}  // namespace korvane::vocabulary
