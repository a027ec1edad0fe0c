// co_await smpp.AsyncSubmit(m, asio::use_awaitable) on a loop the host
// shares with the session, against the loopback SMSC.
#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/use_awaitable.hpp>
#include <vector>

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
  message.ShortMessage = Variant(std::string("awaited"));
  asio::co_spawn(
      loop,
      [&]() -> asio::awaitable<void> {
        for (int n = 0; n < 3; ++n)
          results.push_back(co_await smpp.AsyncSubmit(message, asio::use_awaitable));
      },
      asio::detached);
  ASSERT_TRUE(testing::PumpUntil(loop, [&] { return results.size() == 3; }));
  for (std::size_t n = 0; n < results.size(); ++n) {
    EXPECT_EQ(results[n].Outcome, SubmitOutcome::Accepted) << n;
    EXPECT_EQ(results[n].MessageID, "MSG" + std::to_string(results[n].SequenceNumber)) << n;
    if (n > 0) {
      EXPECT_GT(results[n].SequenceNumber, results[n - 1].SequenceNumber);
    }
  }
}

}  // namespace
}  // namespace korvane
