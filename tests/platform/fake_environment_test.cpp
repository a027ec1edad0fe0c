// The fake environment that session tests run on.
#include "support/fake_environment.hpp"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

using std::chrono::milliseconds;

TEST(FakeEnvironmentTest, TimersAndActionsRunInVirtualTimeOrder) {
  FakeEnvironment env;
  std::vector<std::string> order;
  auto timer =
      env.CreateTimer([&] { order.push_back("tick " + std::to_string(env.Elapsed().count())); });
  timer->Interval(1000);
  timer->Enabled(true);
  env.At(milliseconds(1500), [&] { order.push_back("action 1500"); });
  env.At(milliseconds(500), [&] { order.push_back("action 500"); });
  env.Advance(milliseconds(2500));
  EXPECT_EQ(order,
            (std::vector<std::string>{"action 500", "tick 1000", "action 1500", "tick 2000"}));
}

struct ErrorListener : platform::SocketListener {
  void OnSocketClose() override {}
  void OnSocketDataArrival(std::size_t) override {}
  void OnSocketError(int32_t number, const std::string&) override { errors.push_back(number); }
  std::vector<int32_t> errors;
};

TEST(FakeEnvironmentTest, ScriptedRefusalShowsOnALaterYield) {
  FakeEnvironment env;
  ErrorListener listener;
  auto socket = env.CreateSocket(listener);
  env.LastSocket()->RefuseConnect();
  socket->Connect("smsc", 2775);
  EXPECT_TRUE(listener.errors.empty());
  env.Yield();
  EXPECT_EQ(listener.errors, std::vector<int32_t>{10061});
  EXPECT_EQ(socket->State(), platform::kSocketError);
}

}  // namespace
}  // namespace korvane::testing
