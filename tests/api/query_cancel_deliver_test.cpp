// QueryMessage, CancelMessage and DeliverShortMessage on the fake
// environment: binding checks, sequence numbers, traces, refusals, and the
// query's wait in virtual time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::CommandIdOf;
using testing::HexText;
using testing::SequenceNumberOf;
using Names = std::vector<std::string>;

constexpr uint32_t kQuerySm = 0x00000003;
constexpr uint32_t kDeliverSm = 0x00000005;
constexpr uint32_t kCancelSm = 0x00000008;

class MessageOperationsTest : public testing::SessionFixture {
 protected:
  MessageOperationsTest() {
    smpp.OperationsTimeout(10);
    message.MessageID = "MSG4";
    message.DestAddress = "1234";
  }

  void AnswerAfter(milliseconds delay) { AnswerLikeAnSmsc(0, delay); }
  double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(environment.MonotonicNow() - start).count();
  }
  const std::vector<uint8_t>& LastSent() const { return socket.Sent().back(); }

  MessageObject message;
};

TEST_F(MessageOperationsTest, QueryWithoutWaitReturnsAtOnceAndLeavesTheStatus) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  AnswerAfter(seconds(1));
  message.DeliveryStatus = MessageStates::Enroute;
  smpp.EnableTraceMessages(true);
  const auto start = environment.MonotonicNow();
  smpp.QueryMessage(message);
  EXPECT_EQ(SecondsSince(start), 0.0);
  EXPECT_EQ(CommandIdOf(LastSent()), kQuerySm);
  EXPECT_EQ(message.SequenceNumber, 4);
  EXPECT_EQ(SequenceNumberOf(LastSent()), 4u);
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Enroute);
  ASSERT_EQ(events.Names(), Names{"TraceLog"});
  EXPECT_EQ(events.events[0].text.rfind("Sent QUERY_SM:", 0), 0u);
}

TEST_F(MessageOperationsTest, WaitedQueryCopiesTheReportedState) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  AnswerAfter(seconds(2));
  message.DeliveryErrorCode = 9;
  const auto start = environment.MonotonicNow();
  smpp.QueryMessage(message, true);
  EXPECT_EQ(SecondsSince(start), 2.0);
  EXPECT_EQ(smpp.LastMessageID, "MSG4");
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Delivered);
  EXPECT_EQ(message.DeliveryErrorCode, 0);
  EXPECT_TRUE(message.FinalDeliveryDate.IsZero());
  EXPECT_EQ(events.Names(), Names{"MessageStatusReceived"});
}

TEST_F(MessageOperationsTest, UnansweredOrOtherwiseEndedWaitCopiesThePreviousResult) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  AnswerAfter(milliseconds(10));
  smpp.QueryMessage(message, true);  // the previous result: delivered
  NeverAnswer();
  MessageObject other;
  other.MessageID = "MSG9";
  other.DeliveryStatus = MessageStates::Expired;
  auto start = environment.MonotonicNow();
  smpp.QueryMessage(other, true);
  EXPECT_EQ(SecondsSince(start), 10.0);
  EXPECT_EQ(other.DeliveryStatus, MessageStates::Delivered);

  // Another request's response does not end the wait; it still sets
  // LastMessageID.
  other.DeliveryStatus = MessageStates::Expired;
  environment.At(seconds(3), [&] {
    socket.Receive(testing::MakePdu(0x80000004, 0, 77, {'7', 0}));
  });
  start = environment.MonotonicNow();
  smpp.QueryMessage(other, true);
  EXPECT_EQ(SecondsSince(start), 10.0);
  EXPECT_EQ(smpp.LastMessageID, "7");
  EXPECT_EQ(other.DeliveryStatus, MessageStates::Delivered);

  // A refusal of this very query ends the wait at once.
  other.DeliveryStatus = MessageStates::Expired;
  socket.AnswerWith([](const std::vector<uint8_t>& sent) {
    return testing::MakePdu(0x80000003, 0x0C, testing::SequenceNumberOf(sent));
  });
  start = environment.MonotonicNow();
  smpp.QueryMessage(other, true);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(other.DeliveryStatus, MessageStates::Delivered);
}

TEST_F(MessageOperationsTest, CancelNeedsOnlyAnOpenConnection) {
  BindAs(BindTypes::SmppBindAsReceiver);
  AnswerAfter(milliseconds(10));
  smpp.EnableTraceMessages(true);
  std::vector<std::size_t> sent_at_trace;
  events.on_event = [&](const testing::RecordedEvent& event) {
    if (event.name == "TraceLog") sent_at_trace.push_back(socket.Sent().size());
  };
  const std::size_t sent = socket.Sent().size();
  smpp.CancelMessage(message);
  events.on_event = nullptr;
  EXPECT_EQ(socket.Sent().size(), sent + 1);
  EXPECT_EQ(CommandIdOf(LastSent()), kCancelSm);
  EXPECT_EQ(message.SequenceNumber, 4);
  EXPECT_EQ(SequenceNumberOf(LastSent()), 4u);
  ASSERT_EQ(events.Names(), Names{"TraceLog"});
  EXPECT_EQ(sent_at_trace, std::vector<std::size_t>{sent});
  EXPECT_EQ(events.events[0].text.rfind("Sent CANCEL_SM:", 0), 0u);

  smpp.EnableTraceMessages(false);
  environment.Advance(milliseconds(10));
  ASSERT_EQ(events.Names(), (Names{"TraceLog", "MessageCancelResult"}));
  EXPECT_EQ(events.events[1].message.SequenceNumber, 4);
}

TEST_F(MessageOperationsTest, DeliverSendsAtOnceAndCutsTheCallbackNumber) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  message.ShortMessage = "Hello";
  message.CallbackNumber = "12345678901234567890";
  EXPECT_TRUE(smpp.DeliverShortMessage(message).IsEmpty());
  EXPECT_EQ(message.CallbackNumber, "123456789012345");
  EXPECT_EQ(CommandIdOf(LastSent()), kDeliverSm);
  EXPECT_EQ(message.SequenceNumber, 4);
  EXPECT_EQ(SequenceNumberOf(LastSent()), 4u);
}

}  // namespace
}  // namespace korvane
