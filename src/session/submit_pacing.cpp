#include "session/submit_pacing.hpp"

#include <algorithm>
#include <utility>

namespace korvane::session {

std::chrono::milliseconds RetryBackOff(int32_t retries) {
  constexpr std::chrono::milliseconds kFirst{50};
  constexpr std::chrono::milliseconds kMost{1000};
  const int32_t doublings = std::clamp(retries - 1, 0, 7);
  return std::min(kFirst * (int64_t{1} << doublings), kMost);
}

SubmitPacing::SubmitPacing(platform::Environment& environment, std::function<void()> on_ready)
    : environment_(environment), on_ready_(std::move(on_ready)) {}

SubmitPacing::~SubmitPacing() = default;

bool SubmitPacing::Ready(int32_t cap, TimePoint not_before) {
  pacer_.SetCap(cap);
  const TimePoint now = environment_.MonotonicNow();
  const SendPacer::Duration wait = std::max(pacer_.Delay(now), not_before - now);
  if (wait <= SendPacer::Duration::zero()) return true;
  WakeAfter(wait);
  return false;
}

void SubmitPacing::Stop() {
  if (timer_) timer_->Enabled(false);
}

void SubmitPacing::WakeAfter(SendPacer::Duration wait) {
  if (!timer_) {
    timer_ = environment_.CreateTimer([this] {
      // One shot: the window asks again and re-arms when it must wait on.
      timer_->Enabled(false);
      on_ready_();
    });
  }
  // Whole milliseconds, rounded up: a wake-up never comes early.
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  timer_->Enabled(false);
  timer_->Interval(static_cast<int32_t>(std::clamp<int64_t>(milliseconds, 1, 60 * 60 * 1000)));
  timer_->Enabled(true);
}

}  // namespace korvane::session
