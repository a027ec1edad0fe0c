#include "smsc/throttle_window.hpp"

namespace korvane::smsc {

bool ThrottleWindow::Admit(Clock::time_point now) {
  if (limit_ == 0) return true;
  const Clock::time_point window_start = now - std::chrono::seconds(1);
  while (!admitted_.empty() && admitted_.front() <= window_start) admitted_.pop_front();
  if (admitted_.size() >= limit_) return false;
  admitted_.push_back(now);
  return true;
}

void ThrottleWindow::Forget() {
  if (!admitted_.empty()) admitted_.pop_back();
}

}  // namespace korvane::smsc
