// CancelMessage: asks the SMSC to cancel a message submitted earlier. It
// does not wait; the answer arrives as MessageCancelResult.
#pragma once

#include "korvane/message_object.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

// Sends a cancel_sm on any open connection, whatever the binding; without
// a connection it does nothing at all.
void CancelMessage(session::Session& session, MessageObject& message);

// Encodes, traces and sends one cancel_sm; SequenceNumber takes its number.
void CancelSM(session::Session& session, MessageObject& message);

}  // namespace korvane::outbound
