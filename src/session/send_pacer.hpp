// SendPacer: when the next asynchronous submission may be sent. Pure: every
// call takes the time it happens at, nothing reads a clock or waits.
//
// Pace. At a rate R the sends sit on a grid one interval 1/R apart: the next
// send is due one interval after the one before was due. A send that goes
// late (the wake-up timer counts whole milliseconds) keeps the grid as long
// as it is at most kCatchUp behind, kCatchUp being half an interval but at
// least 2 ms; further behind, the grid restarts from the late send. So the
// average stays R; up to 250 per second two sends are never closer than
// half an interval; above, what fell due within 2 ms may leave together (a
// millisecond timer can do no finer). Any span t holds at most
// R*(t + kCatchUp) + 1 sends; there is never a burst at the start of a
// second.
//
// Rate. With no cap (MaxSubmitsPerSecond 0) and no throttle answer seen,
// nothing is paced: sends go as fast as the window allows. A cap alone paces
// at the cap. Each throttle answer (0x58 or 0x14) cuts the rate, and while
// none arrives the rate rises again in a straight line (additive increase,
// multiplicative decrease), never above the cap:
//   - a cut sets the rate to kCutFactor x what the SMSC accepted over the
//     last second (when it accepted nothing: x the pace already set, or x
//     the sends over the last second when nothing was paced yet),
//     unless the rate is lower already; the first cut thus starts from what
//     the SMSC demonstrably takes, and a cut repeated while the SMSC still
//     refuses the same overload does not push the rate down again;
//   - at most one cut per kCutSpacing, and none for an answer to a PDU sent
//     before the last cut (that PDU left at the old rate);
//   - after a cut the rate rises by kRaisePerSecond x the new rate (at
//     least kMinimumRaise) for each second of full use: each send raises it
//     by that slope times the time since the previous send, counted at most
//     one interval, so an idle or window-bound sender does not inflate it;
//   - kForgetAfter with no throttle answer ends the adaptive pace: back to
//     the cap, or to no pacing; the next throttle answer starts again from
//     what the SMSC accepted. A low rate after a throttle answer on a
//     nearly idle session thus does not last.
// Against an SMSC that takes L per second the rate saws between about
// 0.9 L and L (a cycle of about a second: 10 % back at 10 % per second), an
// average near 0.95 L, with a few throttled PDUs per cycle. The throttle
// benchmark (500 per second, a window of 64) measures 0.91 to 0.93 of the
// limit after the first 5 s, under 0.1 % of the PDUs throttled.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace korvane::session {

class SendPacer {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;
  using Duration = Clock::duration;

  static constexpr double kCutFactor = 0.9;
  static constexpr double kRaisePerSecond = 0.1;
  static constexpr std::chrono::milliseconds kCutSpacing{100};
  static constexpr double kMinimumRate = 1.0;    // PDUs per second
  static constexpr double kMinimumRaise = 10.0;  // PDUs per second, per second
  static constexpr std::chrono::seconds kForgetAfter{20};
  static constexpr std::chrono::milliseconds kLeastCatchUp{2};

  // The most PDUs per second; 0 or below: no cap.
  void SetCap(int32_t per_second) { cap_ = per_second > 0 ? per_second : 0.0; }

  // How long from `now` until the next send may go; zero when it may now.
  Duration Delay(TimePoint now);
  // A PDU was sent at `now` (retries included).
  void Sent(TimePoint now);
  // A submission was accepted at `now`.
  void Accepted(TimePoint now);
  // A throttle answer arrived at `now` for a PDU sent at `sent_at`.
  void Throttled(TimePoint now, TimePoint sent_at);

  // The pace in PDUs per second; 0 when nothing is paced.
  double Rate() const;

 private:
  void Forget(TimePoint now);

  // Events over the last second, in ten slots of 100 ms.
  class SecondCount {
   public:
    void Add(TimePoint now);
    int64_t Count(TimePoint now) const;

   private:
    struct Slot {
      int64_t index = -1;
      int64_t count = 0;
    };
    std::array<Slot, 10> slots_{};
  };

  double cap_ = 0;
  double rate_ = 0;  // the adaptive rate, once a throttle was seen
  double raise_ = 0;
  bool adaptive_ = false;
  bool any_sent_ = false;
  TimePoint next_{};
  TimePoint last_sent_{};
  TimePoint last_cut_{};
  SecondCount accepted_;
  SecondCount sent_;
};

}  // namespace korvane::session
