// A peer that stops reading, MaxOutputBytes lowered: the unsent output stays
// under the cap, requests beyond it get Error 29985 and never go, and
// submissions wait in their queue; once the peer reads, all else arrives.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/event_loop.hpp"
#include "session/session.hpp"
#include "support/loopback_fixture.hpp"

namespace korvane {
namespace {

using OutputCapTest = testing::LoopbackFixture;

TEST_F(OutputCapTest, AStalledPeerMeetsTheCapInsteadOfAGrowingQueue) {
  constexpr int32_t kCap = 256 * 1024;
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.PauseReading();
  smpp.MaxOutputBytes(kCap);
  smpp.OperationsTimeout(30);  // the submissions' answers queue behind megabytes
  const platform::TcpSocket& socket = session::Session::Of(smpp).socket();
  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  message.ShortMessage = Variant(std::string(250, 'x'));
  std::vector<int32_t> sent;
  std::size_t peak = 0;
  for (int n = 0; n < 20000; ++n) {
    message.SequenceNumber = 0;
    smpp.SendMessage(message, false);
    if (message.SequenceNumber != 0) sent.push_back(message.SequenceNumber);
    peak = std::max(peak, socket.QueuedOutput());
    if (n % 500 == 0) platform::PumpOnce(loop, std::chrono::milliseconds(0));
  }
  EXPECT_LE(peak, static_cast<std::size_t>(kCap));
  const auto errors = events.Named("Error");
  ASSERT_EQ(errors.size(), 20000 - sent.size());
  EXPECT_EQ(errors.at(0).number, 29985);
  EXPECT_EQ(errors[0].text.rfind("The output queue is full: ", 0), 0u) << errors[0].text;
  std::vector<SubmitResult> results;
  for (int n = 0; n < 5; ++n)
    smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  platform::PumpOnce(loop, std::chrono::milliseconds(0));
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(events.Named("Error").size(), errors.size());

  smsc.ResumeReading();
  ASSERT_TRUE(testing::PumpUntil(
      loop, [&] { return results.size() == 5; }, std::chrono::seconds(30)));
  for (const SubmitResult& r : results) EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
  const auto received = smsc.Received();  // the bind, what was sent, the five
  ASSERT_EQ(received.size(), 1 + sent.size() + 5);
  for (std::size_t n = 0; n < sent.size(); ++n)
    ASSERT_EQ(testing::SequenceNumberOf(received[n + 1]), static_cast<uint32_t>(sent[n])) << n;
}

}  // namespace
}  // namespace korvane
