// Asynchronous submission through the session's window.
#pragma once

#include "korvane/message_object.hpp"
#include "korvane/submission.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

// Queues `message` for submission (submit_sm, or submit_multi when
// DestAddress is empty); `completion` runs once with the outcome. False when
// it completed at once with NotSent (not bound, or the queue is full).
bool SubmitAsync(session::Session& session, MessageObject message, SubmitCompletion completion);

}  // namespace korvane::outbound
