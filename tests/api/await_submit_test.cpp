// co_await smpp.AsyncSubmit(m, asio::use_awaitable) on a loop the host
// shares with the session, against the loopback SMSC.
#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/use_awaitable.hpp>

#include "korvane/async_submit.hpp"
#include "support/loopback_fixture.hpp"

namespace korvane {
namespace {

using AwaitSubmitTest = testing::LoopbackFixture;

TEST_F(AwaitSubmitTest, ACoroutineAwaitsEachSubmissionsResult) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  std::vector<SubmitResult> results;
  MessageObject message;
  message.DestAddress = "447700900123";
  auto submit_three = [&]() -> asio::awaitable<void> {
    for (int n = 0; n < 3; ++n)
      results.push_back(co_await smpp.AsyncSubmit(message, asio::use_awaitable));
  };
  asio::co_spawn(loop, submit_three, asio::detached);
  ASSERT_TRUE(testing::PumpUntil(loop, [&] { return results.size() == 3; }));
  for (const SubmitResult& r : results) {
    EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
    EXPECT_EQ(r.MessageID, "MSG" + std::to_string(r.SequenceNumber));
  }
}

}  // namespace
}  // namespace korvane
