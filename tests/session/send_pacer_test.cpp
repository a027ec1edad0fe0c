// The pacer on explicit time points: the even grid, the cuts on throttle
// answers, the slow rise, the cap.
#include "session/send_pacer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

namespace korvane::session {
namespace {

using std::chrono::milliseconds;
using TimePoint = SendPacer::TimePoint;

TimePoint At(int64_t ms) { return TimePoint{std::chrono::hours(1)} + milliseconds(ms); }

int64_t Micros(SendPacer::Duration duration) {
  return std::chrono::round<std::chrono::microseconds>(duration).count();
}

// Sends as soon as the pacer lets them from `from` to `to`; the send times.
std::vector<TimePoint> SendFlatOut(SendPacer& pacer, TimePoint from, TimePoint to) {
  std::vector<TimePoint> sent;
  for (TimePoint now = from; now < to; now += pacer.Delay(now)) {
    if (pacer.Delay(now) > SendPacer::Duration::zero()) continue;
    pacer.Sent(now);
    sent.push_back(now);
  }
  return sent;
}

// Cap 100: one every 10 ms; a late send keeps the grid while at most 5 ms
// (half an interval) behind, and restarts it further behind.
TEST(SendPacerTest, SendsSitOnAnEvenGrid) {
  struct Step {
    int64_t at_ms;
    bool send;
    int64_t delay_us;  // before sending
  };
  const Step steps[] = {{0, true, 0},      {4, false, 6000}, {10, true, 0}, {24, true, 0},
                        {26, false, 4000}, {30, true, 0},    {60, true, 0}, {65, false, 5000},
                        {70, true, 0},     {71, false, 9000}};
  SendPacer pacer;
  pacer.SetCap(100);
  for (const Step& step : steps) {
    EXPECT_EQ(Micros(pacer.Delay(At(step.at_ms))), step.delay_us) << step.at_ms;
    if (step.send) pacer.Sent(At(step.at_ms));
  }
}

TEST(SendPacerTest, ACapSpreadsASecondEvenlyAndNoCapDoesNotPace) {
  struct Case {
    int32_t cap;
    std::size_t sends;  // in the first second, sending flat out
    int64_t gap_us;     // between any two
  };
  const Case cases[] = {{500, 500, 2000}, {40, 40, 25000}, {4, 4, 250000}};
  for (const Case& c : cases) {
    SendPacer pacer;
    pacer.SetCap(c.cap);
    const std::vector<TimePoint> sent = SendFlatOut(pacer, At(0), At(1000));
    ASSERT_EQ(sent.size(), c.sends) << c.cap;
    for (std::size_t i = 1; i < sent.size(); ++i)
      ASSERT_NEAR(Micros(sent[i] - sent[i - 1]), c.gap_us, 1) << c.cap << " #" << i;
  }
  SendPacer unpaced;
  for (int i = 0; i < 1000; ++i) unpaced.Sent(At(0));
  EXPECT_EQ(unpaced.Delay(At(0)), SendPacer::Duration::zero());
  EXPECT_EQ(unpaced.Rate(), 0);
}

// The first cut starts from what the SMSC accepted over the last second (what
// was sent when it accepted nothing), cut by 0.9, and never above the cap.
TEST(SendPacerTest, TheFirstCutStartsFromWhatTheSmscTook) {
  struct Case {
    int32_t cap, accepted, sent;
    double rate;
  };
  const Case cases[] = {
      {0, 400, 0, 360}, {300, 400, 0, 300}, {0, 0, 40, 36}, {0, 0, 0, 1}, {0, 8, 400, 7.2}};
  for (const Case& c : cases) {
    SendPacer pacer;
    pacer.SetCap(c.cap);
    for (int i = 0; i < c.accepted; ++i) pacer.Accepted(At(900));
    for (int i = 0; i < c.sent; ++i) pacer.Sent(At(900));
    pacer.Throttled(At(1000), At(950));
    EXPECT_DOUBLE_EQ(pacer.Rate(), c.rate) << c.cap << " " << c.accepted << " " << c.sent;
  }
}

// A burst of throttle answers cuts once: not again within 100 ms, nor for a
// PDU sent before the cut.
TEST(SendPacerTest, OneBurstOfThrottleAnswersCutsOnce) {
  struct Step {
    int64_t at_ms, sent_at_ms;
    double rate;
  };
  // 400 accepted at 100 ms count until 1100 ms; then nothing was accepted and
  // a cut falls to the least rate.
  const Step steps[] = {{1050, 1000, 360}, {1120, 1110, 360}, {1160, 1040, 360}, {1160, 1100, 1}};
  SendPacer pacer;
  for (int i = 0; i < 400; ++i) pacer.Accepted(At(100));
  for (const Step& step : steps) {
    pacer.Throttled(At(step.at_ms), At(step.sent_at_ms));
    EXPECT_DOUBLE_EQ(pacer.Rate(), step.rate) << step.at_ms;
  }
}

// After a cut to 360 the rate rises by 10 % of it (36) per second of full
// use, less when sends are sparse, never above the cap; 20 s without a
// throttle answer end the pacing.
TEST(SendPacerTest, TheRateRisesSlowlyUpToTheCap) {
  struct Case {
    int32_t cap;
    int64_t every_ms;  // 0: flat out
    double rate;       // after one second
  };
  const Case cases[] = {{0, 0, 396}, {0, 100, 361}, {380, 0, 380}};
  for (const Case& c : cases) {
    SendPacer pacer;
    pacer.SetCap(c.cap);
    for (int i = 0; i < 400; ++i) pacer.Accepted(At(900));
    pacer.Throttled(At(1000), At(950));
    if (c.every_ms == 0) {
      SendFlatOut(pacer, At(1000), At(2000));
    } else {
      for (int64_t t = 1000; t <= 2000; t += c.every_ms) pacer.Sent(At(t));
    }
    EXPECT_NEAR(pacer.Rate(), c.rate, 0.1) << c.cap << " " << c.every_ms;
    pacer.Delay(At(21000));
    EXPECT_EQ(pacer.Rate(), c.cap);
  }
}

// An SMSC that takes `limit` submissions per second and answers the rest
// "throttled": a token bucket of `limit` tokens refilled evenly, or a count
// of what it accepted over the last second.
class LimitingSmsc {
 public:
  LimitingSmsc(double limit, bool bucket) : limit_(limit), bucket_(bucket), tokens_(limit) {}
  bool Takes(TimePoint now) {
    if (bucket_) {
      const double refill = std::chrono::duration<double>(now - last_).count() * limit_;
      tokens_ = std::min(limit_, tokens_ + refill);
      last_ = now;
      if (tokens_ < 1) return false;
      tokens_ -= 1;
      return true;
    }
    while (!accepted_.empty() && now - accepted_.front() >= std::chrono::seconds(1))
      accepted_.pop_front();
    if (static_cast<double>(accepted_.size()) >= limit_) return false;
    accepted_.push_back(now);
    return true;
  }

 private:
  double limit_;
  bool bucket_;
  double tokens_;
  TimePoint last_ = At(0);
  std::deque<TimePoint> accepted_;
};

// A sender with always more to send, a window of 64 and a millisecond wake-up
// against an SMSC limiting at 500 per second, in virtual time: after the
// first 5 s it gets at least 90 % of the limit, and fewer than 5 % of its
// PDUs are throttled.
TEST(SendPacerTest, ConvergesNearTheLimitOfTheSmsc) {
  struct Case {
    bool bucket;
    int64_t round_trip_ms;
  };
  const Case cases[] = {{true, 1}, {false, 1}, {true, 40}, {false, 40}};
  for (const Case& c : cases) {
    SendPacer pacer;
    LimitingSmsc smsc(500, c.bucket);
    struct Flight {
      TimePoint sent_at;
      bool taken;
    };
    std::deque<Flight> in_flight;  // answered in order after one round trip
    int64_t sent = 0, throttled = 0, accepted = 0;
    for (int64_t ms = 0; ms < 30000; ++ms) {
      const TimePoint now = At(ms);
      const bool counted = ms >= 5000;
      while (!in_flight.empty() &&
             in_flight.front().sent_at + milliseconds(c.round_trip_ms) <= now) {
        const Flight answer = in_flight.front();
        in_flight.pop_front();
        if (answer.taken) {
          pacer.Accepted(now);
          accepted += counted;
        } else {
          pacer.Throttled(now, answer.sent_at);
          throttled += counted;
        }
      }
      while (in_flight.size() < 64 && pacer.Delay(now) == SendPacer::Duration::zero()) {
        pacer.Sent(now);
        in_flight.push_back({now, smsc.Takes(now)});
        sent += counted;
      }
    }
    const double rate = static_cast<double>(accepted) / 25;
    const double share = static_cast<double>(throttled) / static_cast<double>(sent);
    EXPECT_GE(rate, 450) << c.bucket << " " << c.round_trip_ms;
    EXPECT_LT(share, 0.05) << c.bucket << " " << c.round_trip_ms;
  }
}

}  // namespace
}  // namespace korvane::session
