// SubmitSMS: builds one submit_sm or submit_multi from a message and sends
// it. It never waits; the response is handled on the inbound side.
#pragma once

#include "korvane/message_object.hpp"
#include "outbound/request_sending.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

// Keeps the first 15 characters of CallbackNumber, the most callback_num
// carries.
void CutCallbackNumber(MessageObject& message);

// Cuts CallbackNumber to 15 characters, then encodes, traces and sends the
// PDU and writes its sequence number into SequenceNumber. A value that does
// not fit its field is reported through the Error event and nothing is
// sent: the sequence counter and SequenceNumber stay as they were. So too
// when the output queue is full (see SendRequest and `hold_when_full`).
SendOutcome SubmitSMS(session::Session& session, MessageObject& message, bool submit_multi,
                      bool hold_when_full = false);

}  // namespace korvane::outbound
