// DeliverShortMessage: sends a message to the SMSC as a deliver_sm, for an
// SMSC that routes what the application delivers to it. It does not wait;
// the deliver_sm_resp is handled on the inbound side.
#pragma once

#include "korvane/message_object.hpp"
#include "korvane/variant.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

// Calls DeliverSM; always returns an empty Variant. Neither the connection
// nor the binding is checked: the transport reports a send without one.
Variant DeliverShortMessage(session::Session& session, MessageObject& message);

// Cuts CallbackNumber to 15 characters, then encodes, traces and sends one
// deliver_sm; SequenceNumber takes its number. A value that does not fit
// is reported through the Error event and nothing is sent.
void DeliverSM(session::Session& session, MessageObject& message);

}  // namespace korvane::outbound
