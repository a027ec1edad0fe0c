// A peer that stops reading, with MaxOutputBytes lowered: the session's
// unsent output stays under the cap, requests beyond it are refused with
// Error 29985 and never sent, submissions wait in their queue, and once the
// peer reads again everything accepted arrives whole and in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "faults/faults_fixture.hpp"
#include "platform/event_loop.hpp"
#include "session/session.hpp"

namespace korvane {
namespace {

using testing::PumpUntil;

using OutputCapTest = testing::FaultsFixture;

TEST_F(OutputCapTest, AStalledPeerMeetsTheCapInsteadOfAGrowingQueue) {
  constexpr int32_t kCap = 256 * 1024;
  constexpr std::size_t kAttempts = 20000;
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.PauseReading();
  smpp.Unsubscribe(events);
  testing::CountingSink sink;
  smpp.Subscribe(sink);
  smpp.MaxOutputBytes(kCap);
  const platform::TcpSocket& socket = session::Session::Of(smpp).socket();

  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  message.ShortMessage = Variant(std::string(250, 'x'));
  std::vector<int32_t> sent;
  std::size_t refused = 0;
  std::size_t peak = 0;
  for (std::size_t n = 0; n < kAttempts; ++n) {
    message.SequenceNumber = 0;
    smpp.SendMessage(message, false);
    if (message.SequenceNumber != 0) {
      sent.push_back(message.SequenceNumber);
    } else {
      ++refused;
    }
    peak = std::max(peak, socket.QueuedOutput());
    if (n % 500 == 0) platform::PumpOnce(loop, std::chrono::milliseconds(0));
  }
  EXPECT_GT(refused, 0u);
  EXPECT_LE(peak, static_cast<std::size_t>(kCap));
  ASSERT_EQ(sink.errors.size(), refused);
  for (const int32_t number : sink.errors) ASSERT_EQ(number, 29985);

  // Submissions wait for room instead of failing.
  std::vector<SubmitResult> results;
  for (int n = 0; n < 5; ++n)
    smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  platform::PumpOnce(loop, std::chrono::milliseconds(0));
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(sink.errors.size(), refused);

  smsc.ResumeReading();
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return results.size() == 5 && sink.delivered_ids.size() >= sent.size() + 5; },
      std::chrono::seconds(30)));
  smpp.Unsubscribe(sink);
  for (const SubmitResult& r : results) EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
  // What was refused never went: the SMSC saw the bind, the accepted
  // messages in order, then the five submissions.
  const auto received = smsc.Received();
  ASSERT_EQ(received.size(), 1 + sent.size() + 5);
  for (std::size_t n = 0; n < sent.size(); ++n)
    ASSERT_EQ(testing::SequenceNumberOf(received[n + 1]), static_cast<uint32_t>(sent[n])) << n;
}

}  // namespace
}  // namespace korvane
