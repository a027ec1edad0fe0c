// QueryMessage: asks the SMSC for the state of a message submitted earlier,
// optionally waiting for the answer.
#pragma once

#include "korvane/message_object.hpp"
#include "korvane/variant.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

// Clears LastMessageID. Bound as receiver: Error 98822; not bound: Error
// 98821; nothing is sent. Otherwise sends a query_sm and, when asked to
// wait, waits up to OperationsTimeout for a response that brings a message
// id, then copies the last query result into FinalDeliveryDate,
// DeliveryStatus and DeliveryErrorCode. Always returns an empty Variant.
Variant QueryMessage(session::Session& session, MessageObject& message, bool wait_for_response);

// Encodes, traces and sends one query_sm; SequenceNumber takes its number.
void QueryTSM(session::Session& session, MessageObject& message);

}  // namespace korvane::outbound
