// Bulk traffic in both directions: an SMSC that sends ten thousand
// deliver_sm in one write, and one that stops reading while the host
// submits twenty thousand messages without waiting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults/faults_fixture.hpp"
#include "platform/event_loop.hpp"

namespace korvane {
namespace {

using testing::CommandIdOf;
using testing::PumpUntil;
using testing::SequenceNumberOf;

using BulkTrafficTest = testing::FaultsFixture;

std::string Numbered(const std::string& prefix, std::size_t number, std::size_t width) {
  std::string text = prefix + std::to_string(number);
  text.resize(width, '.');
  return text;
}

TEST_F(BulkTrafficTest, TenThousandDeliveriesInOneWriteAreEachRaisedAndAcknowledgedOnce) {
  constexpr std::size_t kCount = 10000;
  BindAs(BindTypes::SmppBindAsReceiver);
  smpp.Unsubscribe(events);
  testing::CountingSink sink;
  smpp.Subscribe(sink);
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= kCount; ++number) {
    const auto pdu = testing::DeliverSm(number, Numbered("message ", number, 20));
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntil(
      loop,
      [&] { return sink.received_sequences.size() >= kCount && smsc.ReceivedCount() > kCount; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(sink);

  ASSERT_EQ(sink.received_sequences.size(), kCount);
  for (std::size_t number = 1; number <= kCount; ++number) {
    ASSERT_EQ(sink.received_sequences[number - 1], static_cast<int32_t>(number));
    ASSERT_EQ(sink.received_texts[number - 1], Numbered("message ", number, 20));
  }
  EXPECT_EQ(sink.errors, std::vector<int32_t>{});
  const auto received = smsc.Received();
  ASSERT_EQ(received.size(), kCount + 1);  // the bind first
  for (std::size_t number = 1; number <= kCount; ++number)
    ASSERT_EQ(received[number], testing::DeliverSmResp(static_cast<uint32_t>(number))) << number;
}

// The host's thread never blocks on a peer that does not read: every
// SendMessage returns while the peer reads nothing, and once it reads again
// every submit_sm arrives whole, in order, as it was sent. Some 6 MB are
// sent, beyond what the kernels' buffers hold (the sender's grows to 4 MB at
// most, the peer's receive buffer is held at 64 KiB), so the rest waits in
// the session.
TEST_F(BulkTrafficTest, APeerThatStopsReadingLosesNothingAndBlocksNothing) {
  constexpr std::size_t kCount = 20000;
  constexpr std::size_t kBodyLength = 250;
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.PauseReading();
  smpp.Unsubscribe(events);
  testing::CountingSink sink;
  smpp.Subscribe(sink);

  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  std::vector<int32_t> sequences;
  for (std::size_t number = 0; number < kCount; ++number) {
    message.ShortMessage = Numbered("body ", number, kBodyLength);
    EXPECT_EQ(smpp.SendMessage(message, false), "");
    sequences.push_back(message.SequenceNumber);
    // The host runs its loop now and then, so the session's writes meet the
    // full kernel buffers and wait for room.
    if (number % 500 == 0) platform::PumpOnce(loop, std::chrono::milliseconds(0));
  }
  // Every call has returned; the peer has read at most what one read that
  // was already started took.
  EXPECT_LT(smsc.ReceivedCount(), kCount / 10);
  smsc.ResumeReading();
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return smsc.ReceivedCount() > kCount && sink.delivered_ids.size() >= kCount; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(sink);
  EXPECT_EQ(sink.errors, std::vector<int32_t>{});

  const auto received = smsc.Received();
  ASSERT_EQ(received.size(), kCount + 1);
  // All submit_sm share everything up to the body, which ends the PDU.
  const std::vector<uint8_t>& first = received[1];
  ASSERT_GT(first.size(), 16 + kBodyLength);
  const std::vector<uint8_t> fields(first.begin() + 16, first.end() - kBodyLength);
  for (std::size_t number = 0; number < kCount; ++number) {
    const std::vector<uint8_t>& pdu = received[number + 1];
    ASSERT_EQ(CommandIdOf(pdu), testing::kSubmitSmId) << number;
    ASSERT_EQ(SequenceNumberOf(pdu), static_cast<uint32_t>(sequences[number])) << number;
    if (number > 0) {
      ASSERT_GT(sequences[number], sequences[number - 1]);
    }
    const std::string body = Numbered("body ", number, kBodyLength);
    std::vector<uint8_t> expected_body = fields;
    expected_body.insert(expected_body.end(), body.begin(), body.end());
    ASSERT_EQ(pdu, testing::MakePdu(testing::kSubmitSmId, 0,
                                    static_cast<uint32_t>(sequences[number]), expected_body))
        << number;
  }
  for (std::size_t number = 0; number < kCount; ++number)
    ASSERT_EQ(sink.delivered_ids[number], "MSG" + std::to_string(sequences[number]));
}

}  // namespace
}  // namespace korvane
