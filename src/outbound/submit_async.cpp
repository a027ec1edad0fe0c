#include "outbound/submit_async.hpp"

#include <utility>

#include "outbound/submit.hpp"
#include "session/session.hpp"

namespace korvane::outbound {

bool SubmitAsync(session::Session& session, MessageObject message, SubmitCompletion completion) {
  session::SubmitWindow& window = session.submit_window();
  if (!window.HasSender()) {
    window.SetSender([&session](MessageObject& queued) {
      const int32_t before = session.sequence().Last();
      const SendOutcome outcome =
          SubmitSMS(session, queued, queued.DestAddress.empty(), /*hold_when_full=*/true);
      session::SubmitWindow::Attempt attempt;
      attempt.held = outcome == SendOutcome::Held;
      if (session.sequence().Last() != before) attempt.sequence_number = queued.SequenceNumber;
      return attempt;
    });
  }
  return window.Submit(std::move(message), std::move(completion));
}

}  // namespace korvane::outbound
