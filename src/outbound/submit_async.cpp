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
      SubmitSMS(session, queued, queued.DestAddress.empty());
      return session.sequence().Last() != before ? queued.SequenceNumber : 0;
    });
  }
  return window.Submit(std::move(message), std::move(completion));
}

}  // namespace korvane::outbound
