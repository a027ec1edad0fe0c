// SendMessage and SendMessageAsp: the host's submission of a message, with
// the optional wait for the SMSC's message id.
#pragma once

#include <string>

#include "korvane/late_bound.hpp"
#include "korvane/message_object.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

std::string SendMessage(session::Session& session, MessageObject& message,
                        bool wait_for_message_id);

// `object` is read and written by member name. A MessageObject is used as
// it is; another object is converted first, and its SequenceNumber is
// written back when it has one.
std::string SendMessageAsp(session::Session& session, LateBound& object, bool wait_for_message_id);

}  // namespace korvane::outbound
