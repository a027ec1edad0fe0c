// Reception of an accepted deliver_sm: a mobile-originated message or a
// delivery receipt, raised as MessageReceived after it is acknowledged.
#pragma once

#include <cstdint>

#include "inbound/received_pdu.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::inbound {

// Decodes the deliver_sm, sends the deliver_sm_resp, raises MessageReceived
// and then Warning 29005 when the short message was shorter than its
// sm_length. A deliver_sm that cannot be decoded is reported and neither
// answered nor raised. With AckAfterHandler the response follows the event
// and carries the message's ResponseStatus (0x64 when a handler threw).
void ReceiveMessage(session::Session& session, ReceivedPdu& pdu);

// A data_sm from the SMSC: decoded, answered with a data_sm_resp (status 0,
// an empty message_id) and raised as MessageReceived with the text in
// Payload. One that cannot be decoded is reported and neither answered nor
// raised.
void ReceiveDataSm(session::Session& session, ReceivedPdu& pdu);

// A request the session does not handle: answered with a generic_nack
// "invalid command id" carrying its sequence_number.
void RefuseUnknownRequest(session::Session& session, ReceivedPdu& pdu);

// The 17-octet deliver_sm_resp with status 0, an empty message_id and this
// sequence_number; traced when tracing is on, then sent.
void DeliverSMSresponse(session::Session& session, uint32_t sequence_number);

}  // namespace korvane::inbound
