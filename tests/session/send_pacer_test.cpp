// The pacer on explicit time points: the even grid, the cuts on throttle
// answers, the slow rise, the cap.
#include "session/send_pacer.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace korvane::session {
namespace {

using TimePoint = SendPacer::TimePoint;

TimePoint At(int64_t ms) {
  return TimePoint{std::chrono::hours(1)} + std::chrono::milliseconds(ms);
}

// Cap 100: one every 10 ms; a late send keeps the grid while at most 5 ms
// (half an interval) behind, and restarts it further behind.
TEST(SendPacerTest, SendsSitOnAnEvenGrid) {
  const struct {
    int64_t at_ms;
    bool send;
    int64_t delay_us;  // before sending
  } steps[] = {{0, true, 0},      {4, false, 6000}, {10, true, 0},    {24, true, 0},
               {26, false, 4000}, {30, true, 0},    {45, true, 0},    {56, true, 0},
               {61, false, 5000}, {66, true, 0},    {67, false, 9000}};
  SendPacer pacer;
  pacer.SetCap(100);
  for (const auto& step : steps) {
    const auto delay = pacer.Delay(At(step.at_ms));
    EXPECT_EQ(std::chrono::round<std::chrono::microseconds>(delay).count(), step.delay_us)
        << step.at_ms;
    if (step.send) pacer.Sent(At(step.at_ms));
  }
}

// The first cut starts from what the SMSC accepted over the last second (what
// was sent when it accepted nothing), cut by 0.9, and never above the cap.
TEST(SendPacerTest, TheFirstCutStartsFromWhatTheSmscTook) {
  const struct {
    int32_t cap, accepted_a_second_before, accepted, sent;
    double rate;
  } cases[] = {{0, 0, 400, 0, 360},
               {300, 0, 400, 0, 300},
               {0, 0, 0, 40, 36},
               {0, 0, 0, 0, 1},
               {0, 10, 8, 400, 7.2}};
  for (const auto& c : cases) {
    SendPacer pacer;
    pacer.SetCap(c.cap);
    for (int i = 0; i < c.accepted_a_second_before; ++i) pacer.Accepted(At(-100));
    for (int i = 0; i < c.accepted; ++i) pacer.Accepted(At(900));
    for (int i = 0; i < c.sent; ++i) pacer.Sent(At(900));
    pacer.Throttled(At(1000), At(950));
    EXPECT_DOUBLE_EQ(pacer.Rate(), c.rate) << c.cap << " " << c.accepted << " " << c.sent;
  }
}

// A burst of throttle answers cuts once: not again within 100 ms, nor for a
// PDU sent before the cut (one sent at it cuts again). 400 accepted at
// 100 ms count until 1100 ms; then nothing was accepted and a cut starts
// from the pace set (360 x 0.9), not from the few sends.
TEST(SendPacerTest, OneBurstOfThrottleAnswersCutsOnce) {
  const struct {
    int64_t at_ms, sent_at_ms;
    double rate;
  } steps[] = {{1050, 1000, 360}, {1120, 1110, 360}, {1160, 1040, 360}, {1160, 1050, 324}};
  SendPacer pacer;
  for (int i = 0; i < 400; ++i) pacer.Accepted(At(100));
  for (const auto& step : steps) {
    pacer.Throttled(At(step.at_ms), At(step.sent_at_ms));
    EXPECT_DOUBLE_EQ(pacer.Rate(), step.rate) << step.at_ms;
  }
}

// After a cut to 360 the rate rises by 10 % of it (36) per second of full
// use, less when sends are sparse, never above the cap; 20 s without a
// throttle answer end the pacing.
TEST(SendPacerTest, TheRateRisesSlowlyUpToTheCap) {
  const struct {
    int32_t cap;
    int64_t every_ms;  // 0: as soon as the pacer lets
    double rate;       // after one second
  } cases[] = {{0, 0, 396}, {0, 100, 361}, {380, 0, 380}};
  for (const auto& c : cases) {
    SendPacer pacer;
    pacer.SetCap(c.cap);
    for (int i = 0; i < 400; ++i) pacer.Accepted(At(900));
    pacer.Throttled(At(1000), At(950));
    for (TimePoint now = At(1000); now <= At(2000);) {
      if (c.every_ms > 0 || pacer.Delay(now) == SendPacer::Duration::zero()) pacer.Sent(now);
      now += c.every_ms > 0 ? std::chrono::milliseconds(c.every_ms) : pacer.Delay(now);
    }
    EXPECT_NEAR(pacer.Rate(), c.rate, 0.1) << c.cap << " " << c.every_ms;
    pacer.Delay(At(21000));
    EXPECT_EQ(pacer.Rate(), c.cap);
  }
}

}  // namespace
}  // namespace korvane::session
