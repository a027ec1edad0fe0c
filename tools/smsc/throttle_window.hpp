// The throughput limit of one connection (--throttle-tps N), as a sliding
// one-second window: a submission at time t is admitted when fewer than N
// were admitted in (t - 1 s, t]. So no one-second span ever holds more than
// N admitted submissions, and a client sending evenly at N per second or
// less is never refused. Refused submissions do not count.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace korvane::smsc {

class ThrottleWindow {
 public:
  using Clock = std::chrono::steady_clock;

  // 0 or less: no limit.
  explicit ThrottleWindow(int32_t per_second)
      : limit_(per_second > 0 ? static_cast<std::size_t>(per_second) : 0) {}

  // Whether a submission at `now` fits; one that fits is counted. Times
  // never go back.
  bool Admit(Clock::time_point now);
  // Takes back the last admission (a submission refused for another reason).
  void Forget();

 private:
  std::size_t limit_;
  std::deque<Clock::time_point> admitted_;  // within the last second, oldest first
};

}  // namespace korvane::smsc
