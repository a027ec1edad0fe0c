// The fake environment that session tests run on: virtual time, timers,
// scheduled actions and the scripted socket.
#include "support/fake_environment.hpp"

#include <gtest/gtest.h>

#include "korvane/errors.hpp"

namespace korvane::testing {
namespace {

using std::chrono::milliseconds;

struct RecordingListener : platform::SocketListener {
  void OnSocketClose() override { events.push_back("close"); }
  void OnSocketDataArrival(std::size_t waiting) override {
    events.push_back("data " + std::to_string(waiting));
  }
  void OnSocketError(int32_t number, const std::string& description) override {
    events.push_back("error " + std::to_string(number) + " " + description);
  }
  std::vector<std::string> events;
};

TEST(FakeEnvironmentTest, TimersAndActionsRunInVirtualTimeOrder) {
  FakeEnvironment env;
  std::vector<std::string> order;
  auto timer =
      env.CreateTimer([&] { order.push_back("tick " + std::to_string(env.Elapsed().count())); });
  timer->Interval(1000);
  timer->Enabled(true);
  env.At(milliseconds(1500), [&] { order.push_back("action 1500"); });
  env.At(milliseconds(1000), [&] { order.push_back("action 1000"); });
  env.Advance(milliseconds(2500));
  EXPECT_EQ(order,
            (std::vector<std::string>{"action 1000", "tick 1000", "action 1500", "tick 2000"}));
  timer->Enabled(false);
  env.Advance(milliseconds(5000));
  EXPECT_EQ(order.size(), 4u);
}

// A five-second wait built on Yield takes 500 yields and no real time.
TEST(FakeEnvironmentTest, WaitingLoopYieldsThroughVirtualTime) {
  FakeEnvironment env;
  const auto start = env.MonotonicNow();
  while (env.MonotonicNow() - start < std::chrono::seconds(5)) env.Yield();
  EXPECT_EQ(env.YieldCount(), 500);
  EXPECT_EQ(env.Elapsed(), milliseconds(5000));
}

TEST(FakeEnvironmentTest, LocalClockFollowsVirtualTime) {
  FakeEnvironment env;
  env.SetLocalNow(DateTime(2024, 12, 31, 23, 59, 59));
  env.SetTimeZoneBias(-60);
  env.Advance(milliseconds(1500));
  EXPECT_EQ(env.LocalNow(), DateTime(2025, 1, 1, 0, 0, 0));
  EXPECT_DOUBLE_EQ(env.SecondsSinceMidnight(), 0.5);
  EXPECT_EQ(env.LocalTimeZoneBiasMinutes(), -60);
}

// A tick that yields inside (a wait in an event handler) sees time go on,
// and the outer advance neither goes back nor repeats what ran nested.
TEST(FakeEnvironmentTest, NestedYieldInsideATickKeepsTimeMonotonic) {
  FakeEnvironment env;
  int ticks = 0;
  int actions = 0;
  auto timer = env.CreateTimer([&] {
    if (++ticks == 1) {
      for (int i = 0; i < 30; ++i) env.Yield();
    }
  });
  timer->Interval(100);
  timer->Enabled(true);
  env.At(milliseconds(250), [&] { ++actions; });
  env.Advance(milliseconds(200));
  EXPECT_EQ(env.Elapsed(), milliseconds(400));
  EXPECT_EQ(ticks, 4);
  EXPECT_EQ(actions, 1);
}

TEST(FakeEnvironmentTest, ScriptedSocketConnectsOnALaterYield) {
  FakeEnvironment env;
  RecordingListener listener;
  auto socket = env.CreateSocket(listener);
  ScriptedSocket& scripted = *env.LastSocket();
  scripted.AcceptConnect(milliseconds(2000));
  socket->Connect("smsc.example", 2775);
  EXPECT_EQ(socket->State(), platform::kSocketConnecting);
  env.Advance(milliseconds(1990));
  EXPECT_EQ(socket->State(), platform::kSocketConnecting);
  env.Yield();
  EXPECT_EQ(socket->State(), platform::kSocketConnected);
  EXPECT_EQ(scripted.RemoteHost(), "smsc.example");
  EXPECT_EQ(socket->LocalPort(), ScriptedSocket::kEphemeralPort);
  EXPECT_NE(socket->SocketHandle(), 0);

  socket->SendData({1, 2});
  socket->SendData({3});
  EXPECT_EQ(scripted.Sent(), (std::vector<std::vector<uint8_t>>{{1, 2}, {3}}));
  scripted.Receive({9, 9, 9});
  scripted.PeerClose();
  EXPECT_EQ(listener.events, (std::vector<std::string>{"data 3", "close"}));
  EXPECT_EQ(socket->GetData(), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_THROW(socket->SendData({4}), ComponentError);
}

TEST(FakeEnvironmentTest, RefusedConnectReportsErrorAndClosedAttemptStaysSilent) {
  FakeEnvironment env;
  RecordingListener listener;
  auto socket = env.CreateSocket(listener);
  env.LastSocket()->RefuseConnect();
  socket->Connect("smsc", 1);
  env.Yield();
  EXPECT_EQ(socket->State(), platform::kSocketError);
  EXPECT_EQ(listener.events, (std::vector<std::string>{"error 10061 Connection refused"}));

  env.LastSocket()->AcceptConnect(milliseconds(50));
  socket->Connect("smsc", 1);
  socket->Close();
  socket.reset();
  env.Advance(milliseconds(100));
  EXPECT_EQ(env.LastSocket(), nullptr);
  EXPECT_EQ(listener.events.size(), 1u);
}

}  // namespace
}  // namespace korvane::testing
