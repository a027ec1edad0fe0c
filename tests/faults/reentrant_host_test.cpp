// A host that pumps events and calls back into the session from inside every
// event, while the SMSC keeps sending: waits nest inside waits, the inbound
// queue is drained from inside its own handlers, and still every PDU is
// handled once, in order, and every deliver_sm acknowledged once.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "faults/faults_fixture.hpp"

namespace korvane {
namespace {

using testing::CommandIdOf;
using testing::PumpUntil;
using testing::SequenceNumberOf;
using Names = std::vector<std::string>;

using ReentrantHostTest = testing::FaultsFixture;

std::size_t CountOf(const std::vector<std::vector<uint8_t>>& pdus, uint32_t command_id) {
  std::size_t count = 0;
  for (const auto& pdu : pdus) count += CommandIdOf(pdu) == command_id ? 1 : 0;
  return count;
}

// An auto-replying host that waits for each reply's id from inside
// MessageReceived, with thousands of deliveries queued at once. Each wait
// runs a drain inside the drain that raised it; unbounded, that nesting
// overflowed the stack at about 3,500 deliveries. Deep drains now take only
// responses, so the nesting stays shallow and nothing is lost or repeated.
TEST_F(ReentrantHostTest, AWaitedReplyToEachOfThousandsOfQueuedDeliveriesKeepsTheStackShallow) {
  constexpr uint32_t kDeliveries = 4000;
  BindAs(BindTypes::SmppBindAsTransceiver);
  smpp.Unsubscribe(events);
  MessageObject reply = smpp.NewMessage();
  reply.DestAddress = "4479";
  reply.ShortMessage = "auto reply";
  struct AutoReplier : testing::CountingSink {
    std::function<void()> reply;
    void MessageReceived(MessageObject& message) override {
      CountingSink::MessageReceived(message);
      reply();
    }
  } host;
  std::vector<std::string> ids;
  host.reply = [&] { ids.push_back(smpp.SendMessage(reply, true)); };
  smpp.Subscribe(host);
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= kDeliveries; ++number) {
    const auto pdu = testing::DeliverSm(number, "mo");
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return ids.size() >= kDeliveries && smsc.ReceivedCount() > 2 * kDeliveries; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(host);

  ASSERT_EQ(host.received_sequences.size(), kDeliveries);
  for (uint32_t number = 1; number <= kDeliveries; ++number)
    ASSERT_EQ(host.received_sequences[number - 1], static_cast<int32_t>(number));
  for (const std::string& id : ids) ASSERT_FALSE(id.empty());
  EXPECT_EQ(host.delivered_ids.size(), kDeliveries);
  EXPECT_EQ(host.errors, std::vector<int32_t>{});
  const auto pdus = smsc.Received();
  EXPECT_EQ(pdus.size(), 1 + 2 * kDeliveries);
  EXPECT_EQ(CountOf(pdus, testing::kSubmitSmId), kDeliveries);
  uint32_t next_response = 1;
  for (const auto& pdu : pdus) {
    if (CommandIdOf(pdu) == testing::kDeliverSmRespId) {
      ASSERT_EQ(pdu, testing::DeliverSmResp(next_response++));
    }
  }
  EXPECT_EQ(next_response, kDeliveries + 1);
}

// Unbind from inside MessageReceived, with more deliveries queued behind the
// one being handled: the unbind's wait handles them, each raised and
// acknowledged (after the unbind, on the still open connection) before the
// unbind_resp ends it. Then Bind again from outside.
TEST_F(ReentrantHostTest, UnbindFromInsideAReceptionEndsTheBindingCleanly) {
  BindAs(BindTypes::SmppBindAsReceiver);
  events.on_event = [&](const testing::RecordedEvent& event) {
    if (event.name == "MessageReceived" && event.message.SequenceNumber == 3) smpp.Unbind();
  };
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= 6; ++number) {
    const auto pdu = testing::DeliverSm(number, "queued");
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntilEvent("UnBound"));
  events.on_event = nullptr;
  ASSERT_EQ(events.Names(),
            (Names{"MessageReceived", "MessageReceived", "MessageReceived", "MessageReceived",
                   "MessageReceived", "MessageReceived", "UnBound"}));
  for (int32_t number = 1; number <= 6; ++number)
    EXPECT_EQ(events.events[number - 1].message.SequenceNumber, number);
  EXPECT_FALSE(smpp.ConnectedAndBound);
  ASSERT_TRUE(smsc.WaitForReceived(8));
  const auto pdus = smsc.Received();
  ASSERT_EQ(pdus.size(), 8u);
  const std::vector<uint32_t> responded = {1, 2, 3, 0, 4, 5, 6};  // 0: the unbind
  for (std::size_t index = 0; index < responded.size(); ++index) {
    const auto& pdu = pdus[index + 1];
    if (responded[index] == 0) {
      EXPECT_EQ(CommandIdOf(pdu), 0x00000006u);
    } else {
      EXPECT_EQ(pdu, testing::DeliverSmResp(responded[index]));
    }
  }
  BindAs(BindTypes::SmppBindAsReceiver);
  smsc.Send(testing::DeliverSm(7, "after"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  EXPECT_EQ(events.Names(), Names{"MessageReceived"});
}

// A host that pumps inside MessageReceived and reconnects from inside
// ConnectionClosed. The SMSC sends two deliveries and closes: the close is
// handled inside the first delivery's event, and the reconnect with it. The
// second delivery belongs to the closed connection, which can no longer
// carry its acknowledgement; it must not be acknowledged on the new one (an
// SMSC matches responses per connection and delivers it again there).
TEST_F(ReentrantHostTest, DeliveriesOfAClosedConnectionDoNotSpillIntoTheNextOne) {
  BindAs(BindTypes::SmppBindAsReceiver);
  bool reconnected = false;
  events.on_event = [&](const testing::RecordedEvent& event) {
    if (event.name == "MessageReceived" && !reconnected)
      PumpUntil(
          loop, [&] { return reconnected; }, std::chrono::seconds(2));
    if (event.name == "ConnectionClosed" && !reconnected) {
      reconnected = true;
      smpp.Bind(BindTypes::SmppBindAsReceiver);
    }
  };
  std::vector<uint8_t> burst = testing::DeliverSm(1, "first");
  const auto second = testing::DeliverSm(2, "second");
  burst.insert(burst.end(), second.begin(), second.end());
  smsc.Send(burst);
  smsc.Close();
  ASSERT_TRUE(PumpUntil(loop, [&] { return reconnected && smpp.ConnectedAndBound; }));
  events.on_event = nullptr;
  EXPECT_EQ(events.Names(), (Names{"MessageReceived", "ConnectionClosed", "Bound"}));
  EXPECT_EQ(events.events[0].message.SequenceNumber, 1);

  // Delivered again on the new connection, it is raised and acknowledged
  // there, and that is the first thing the new connection carries after
  // the bind. (The closing SMSC recorded nothing after its close.)
  events.events.clear();
  smsc.Send(testing::DeliverSm(2, "second"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  ASSERT_TRUE(smsc.WaitForReceived(3));
  const auto pdus = smsc.Received();
  ASSERT_EQ(pdus.size(), 3u);
  EXPECT_EQ(CommandIdOf(pdus[1]), 0x00000001u);
  EXPECT_EQ(pdus[2], testing::DeliverSmResp(2));
}

}  // namespace
}  // namespace korvane
