// The window's answer to throttling: the submission goes back into the queue
// at its own place, and the pacer slows down.
#include <algorithm>
#include <utility>

#include "session/session.hpp"
#include "session/submit_window.hpp"

namespace korvane::session {

bool SubmitWindow::Retry(Flight& flight, uint32_t status) {
  if (status == 0) {
    pacing_.Accepted();
    return false;
  }
  if (!IsThrottleAnswer(status)) return false;
  pacing_.Throttled(flight.sent_at);
  Waiting& submission = flight.submission;
  if (closed_ || submission.retries >= session_.settings().throttle_retry_limit) return false;
  ++submission.retries;
  submission.not_before = session_.environment().MonotonicNow() + RetryBackOff(submission.retries);
  // The queue is in submission order: behind the retried ones made before
  // it, ahead of all made after.
  const auto place =
      std::upper_bound(queue_.begin(), queue_.end(), submission.order,
                       [](int64_t order, const Waiting& queued) { return order < queued.order; });
  queue_.insert(place, std::move(submission));
  Pump();
  return true;
}

}  // namespace korvane::session
