#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "korvane/smpp.hpp"
#include "session/session.hpp"
#include "support/fake_environment.hpp"

namespace korvane::session {
namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

// The fake environment, with the deadlines that waits hand over recorded;
// a pass with a deadline jumps straight to it, as an idle real loop sleeps.
class DeadlineEnvironment final : public platform::Environment {
 public:
  TimePoint MonotonicNow() override { return fake.MonotonicNow(); }
  DateTime LocalNow() override { return fake.LocalNow(); }
  double SecondsSinceMidnight() override { return fake.SecondsSinceMidnight(); }
  int32_t LocalTimeZoneBiasMinutes() override { return fake.LocalTimeZoneBiasMinutes(); }
  void Yield() override {
    ++slices;
    fake.Yield();
  }
  void YieldUntil(TimePoint deadline) override {
    deadlines.push_back(deadline);
    fake.Advance(std::chrono::ceil<std::chrono::milliseconds>(deadline - fake.MonotonicNow()));
  }
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()> on_tick) override {
    return fake.CreateTimer(std::move(on_tick));
  }
  std::unique_ptr<platform::TcpSocket> CreateSocket(platform::SocketListener& listener) override {
    return fake.CreateSocket(listener);
  }

  testing::FakeEnvironment fake;
  std::vector<TimePoint> deadlines;
  int slices = 0;
};

// An idle wait does not wake every few milliseconds: it gives the
// environment its deadline once and is over when that passes.
TEST(SessionWaitTest, AnIdleWaitHandsItsDeadlineToTheEnvironmentOnce) {
  DeadlineEnvironment environment;
  SMPP smpp(environment);
  const TimePoint start = environment.MonotonicNow();
  Session::Of(smpp).WaitUntil(3, [] { return false; });
  EXPECT_EQ(environment.deadlines, std::vector<TimePoint>{start + 3s});
  EXPECT_EQ(environment.slices, 0);
  EXPECT_EQ(environment.MonotonicNow(), start + 3s);
}

TEST(SessionWaitTest, AWaitWhoseConditionHoldsDoesNotYield) {
  DeadlineEnvironment environment;
  SMPP smpp(environment);
  Session::Of(smpp).WaitUntil(3, [] { return true; });
  EXPECT_TRUE(environment.deadlines.empty());
  EXPECT_EQ(environment.slices, 0);
}

}  // namespace
}  // namespace korvane::session
