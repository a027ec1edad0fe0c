// Reception of deliver_sm: acknowledged first, then raised, then warned.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::HexText;
using Names = std::vector<std::string>;

// The deliver_sm of the usual example: +4479 to 12345, "Hello", sequence 0x2A.
constexpr const char* kHello =
    "00 00 00 30 00 00 00 05 00 00 00 00 00 00 00 2A 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
    "34 35 00 00 00 00 00 00 00 00 00 00 05 48 65 6C 6C 6F";
constexpr const char* kHelloResponse = "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 2A 00";

class MessageReceptionTest : public testing::SessionFixture {
 protected:
  MessageReceptionTest() {
    BindAs(BindTypes::SmppBindAsReceiver);
    // What had been sent when each event was raised.
    events.on_event = [this](const testing::RecordedEvent&) {
      sent_at_event.push_back(socket.Sent().size());
    };
  }
  // The recorder outlives this fixture's members.
  ~MessageReceptionTest() override { events.on_event = nullptr; }
  std::string LastSent() const { return HexText(socket.Sent().back()); }
  std::string TraceLabel(std::size_t index) const {
    const std::string& text = events.events.at(index).text;
    return text.substr(0, text.find(":\t"));
  }

  std::vector<std::size_t> sent_at_event;
};

TEST_F(MessageReceptionTest, MessageIsAcknowledgedBeforeItIsRaised) {
  const std::size_t sent_before = socket.Sent().size();
  smpp.DebugPDU(kHello);
  ASSERT_EQ(events.Names(), Names{"MessageReceived"}) << events.events[0].text;
  EXPECT_EQ(sent_at_event[0], sent_before + 1);
  EXPECT_EQ(LastSent(), kHelloResponse);
  const MessageObject& message = events.events[0].message;
  EXPECT_EQ(message.SourceAddress, "+4479");
  EXPECT_EQ(message.DestAddress, "12345");
  EXPECT_EQ(message.ShortMessage.Text(), "Hello");
  EXPECT_EQ(message.SequenceNumber, 0x2A);
}

TEST_F(MessageReceptionTest, TracesTheResponseBeforeTheDeliverSm) {
  smpp.EnableTraceMessages(true);
  smpp.DebugPDU(kHello);
  ASSERT_EQ(events.Names(), (Names{"TraceLog", "MessageReceived", "TraceLog"}));
  EXPECT_EQ(TraceLabel(0), "Sent DELIVER_SM_RESP");
  EXPECT_EQ(TraceLabel(2), "Received DELIVER_SM");
}

TEST_F(MessageReceptionTest, ShortMessageShorterThanDeclaredIsRaisedThenWarned) {
  smpp.EnableDebugMessages(true);
  // sm_length 20 with ten octets left.
  smpp.DebugPDU(
      "00 00 00 3B 00 00 00 05 00 00 00 00 00 00 00 2B 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
      "34 35 00 00 00 00 00 00 00 00 00 00 14 30 31 32 33 34 35 36 37 38 39");
  ASSERT_EQ(events.Names(), (Names{"MessageReceived", "Warning", "DebugLog"}));
  const std::string text = "Error in Message Length of Deliver SM Packet- Declared:20, Received:0";
  EXPECT_EQ(events.events[1].number, 29005);
  EXPECT_EQ(events.events[1].source, "KorvaneSMPP");
  EXPECT_EQ(events.events[1].text, text);
  EXPECT_EQ(events.events[2].text, text);
  EXPECT_EQ(events.events[0].message.ShortMessageBytes.Bytes(), std::vector<uint8_t>(20, 0));
  EXPECT_EQ(LastSent(), "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 2B 00");
}

TEST_F(MessageReceptionTest, FaultyParameterIsReportedAndTheMessageStillArrives) {
  // A message_state whose length runs past the PDU.
  smpp.DebugPDU(
      "00 00 00 35 00 00 00 05 00 00 00 00 00 00 00 2C 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
      "34 35 00 00 00 00 00 00 00 00 00 00 00 04 27 00 09 02");
  ASSERT_EQ(events.Names(), (Names{"Error", "MessageReceived"}));
  EXPECT_EQ(events.events[0].number, 9);
  EXPECT_EQ(testing::ReportLines(events.events[0].text)[4], "Procedure Name:Handle");
  EXPECT_EQ(sent_at_event[0] + 1, sent_at_event[1]);
  EXPECT_EQ(events.events[1].message.SourceAddress, "+4479");
}

TEST_F(MessageReceptionTest, UndecodableOrRefusedDeliverSmIsNeitherAnsweredNorRaised) {
  smpp.EnableTraceMessages(true);
  const std::size_t sent_before = socket.Sent().size();
  // A source address without its NUL.
  smpp.DebugPDU("00 00 00 15 00 00 00 05 00 00 00 00 00 00 00 2D 00 01 01 2B 34");
  ASSERT_EQ(events.Names(), (Names{"Error", "TraceLog"}));
  EXPECT_EQ(events.events[0].number, 9);
  EXPECT_EQ(TraceLabel(1), "Received DELIVER_SM");
  // Status low octet 3: the deliver_sm_resp branch's errors, nothing sent.
  events.events.clear();
  std::string refused = kHello;
  refused.replace(refused.find("00 00 00 00 00 00 00 2A"), 11, "00 00 00 03");
  smpp.DebugPDU(refused);
  EXPECT_EQ(events.Names(), (Names{"Error", "Error", "Error", "TraceLog"}));
  EXPECT_EQ(events.events[2].number, 29005);
  EXPECT_EQ(socket.Sent().size(), sent_before);
}

}  // namespace
}  // namespace korvane
