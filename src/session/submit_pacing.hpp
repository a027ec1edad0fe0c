// SubmitPacing: when the submission window may send its next PDU. It joins
// the pacer (MaxSubmitsPerSecond and the rate throttle answers leave) with
// the back-off of a submission sent again after a throttle answer, and wakes
// the window on the session's timer when the wait is over. Waits never spin:
// the timer is armed once for the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "korvane/platform.hpp"
#include "session/send_pacer.hpp"

namespace korvane::session {

// 0x00000058 (throttled) and 0x00000014 (message queue full): answers that
// ask the sender to slow down and try the same submission again.
constexpr bool IsThrottleAnswer(uint32_t status) { return status == 0x58 || status == 0x14; }

// How long a submission waits before it goes again after its `retries`-th
// throttle answer: 10 ms, doubling, at most one second. The pacer's slower
// rate comes on top.
std::chrono::milliseconds RetryBackOff(int32_t retries);

class SubmitPacing {
 public:
  using TimePoint = SendPacer::TimePoint;

  SubmitPacing(platform::Environment& environment, std::function<void()> on_ready);
  ~SubmitPacing();
  SubmitPacing(const SubmitPacing&) = delete;
  SubmitPacing& operator=(const SubmitPacing&) = delete;

  // True when a PDU not to go before `not_before` may be sent now under a
  // cap of `cap` per second (0: none). Otherwise false, and on_ready runs
  // once it may.
  bool Ready(int32_t cap, TimePoint not_before);
  void Sent() { pacer_.Sent(environment_.MonotonicNow()); }
  void Accepted() { pacer_.Accepted(environment_.MonotonicNow()); }
  void Throttled(TimePoint sent_at) { pacer_.Throttled(environment_.MonotonicNow(), sent_at); }
  // Nothing waits any more: no wake-up is pending.
  void Stop();

 private:
  void WakeAfter(SendPacer::Duration wait);

  platform::Environment& environment_;
  std::function<void()> on_ready_;
  SendPacer pacer_;
  std::unique_ptr<platform::Timer> timer_;
};

}  // namespace korvane::session
