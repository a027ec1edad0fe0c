#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "decoders/final_date.hpp"
#include "session/session.hpp"
#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::Hex;
using testing::MakePdu;
using Names = std::vector<std::string>;

class ResponseBranchesTest : public testing::SessionFixture {
 protected:
  void Dispatch(const std::vector<uint8_t>& pdu) { smpp.DebugPDU(testing::HexText(pdu)); }
  const session::Session::QueryResult& LastQuery() {
    return session::Session::Of(smpp).LastQuery();
  }
  // The message of the only event raised by `pdu`.
  MessageObject Raised(const char* pdu, const std::string& name) {
    events.events.clear();
    smpp.DebugPDU(pdu);
    EXPECT_EQ(events.Names(), Names{name}) << pdu;
    return events.events.empty() ? MessageObject() : events.events[0].message;
  }
};

// What the raised messages carry; the events and answers are in the
// inbound PDU table.
TEST_F(ResponseBranchesTest, RaisedMessagesCarryTheFieldsReceived) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  MessageObject m = Raised("00 00 00 17 80 00 00 04 00 00 00 00 00 00 00 05 31 41 32 42 33 43 00",
                           "MessageDelivered");
  EXPECT_EQ(m.MessageID, "1A2B3C");
  EXPECT_EQ(m.SequenceNumber, 0);  // a fresh object
  for (const auto& [pdu, sequence_number] :
       {std::pair{"00 00 00 10 80 00 00 08 00 00 00 00 00 00 00 0C", 12},
        std::pair{"00 00 00 10 80 00 00 08 00 00 00 00 00 00 01 00", 256}}) {
    m = Raised(pdu, "MessageCancelResult");
    EXPECT_EQ(m.SequenceNumber, sequence_number);
    EXPECT_EQ(m.CancelResultCode, 0);
  }
  m = Raised(
      "00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 2A 00 01 01 31 00 01 01 32 00 00 00 00 04 24 "
      "00 02 48 69",
      "MessageReceived");
  EXPECT_EQ(m.Payload.ToText(), "Hi");
  EXPECT_EQ(m.SourceAddress + ">" + m.DestAddress, "1>2");
  m = Raised(
      "00 00 00 30 00 00 00 05 00 00 00 00 00 00 00 2A 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
      "34 35 00 00 00 00 00 00 00 00 00 00 05 48 65 6C 6C 6F",
      "MessageReceived");
  EXPECT_EQ(m.SourceAddress + ">" + m.DestAddress + ":" + m.ShortMessage.Text(),
            "+4479>12345:Hello");
  EXPECT_EQ(m.SequenceNumber, 0x2A);
  // sm_length 20 with ten octets left: twenty zeros.
  smpp.DebugPDU(
      "00 00 00 3B 00 00 00 05 00 00 00 00 00 00 00 2B 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
      "34 35 00 00 00 00 00 00 00 00 00 00 14 30 31 32 33 34 35 36 37 38 39");
  EXPECT_EQ(events.Named("MessageReceived").back().message.ShortMessageBytes.Bytes(),
            std::vector<uint8_t>(20, 0));
  // A faulty parameter: the message still arrives.
  smpp.DebugPDU(
      "00 00 00 35 00 00 00 05 00 00 00 00 00 00 00 2C 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 "
      "34 35 00 00 00 00 00 00 00 00 00 00 00 04 27 00 09 02");
  EXPECT_EQ(events.Named("MessageReceived").back().message.SourceAddress, "+4479");
}

TEST_F(ResponseBranchesTest, TransceiverRaisesBoundBeforeItSetsTheFlag) {
  for (const auto& [command_id, seen_bound] :
       {std::pair{0x80000001u, true}, {0x80000002u, true}, {0x80000009u, false}}) {
    smpp.ConnectedAndBound = false;
    bool seen = !seen_bound;
    events.on_event = [&](const testing::RecordedEvent& e) {
      if (e.name == "Bound") seen = smpp.ConnectedAndBound;
    };
    Dispatch(MakePdu(command_id, 0, 1));
    EXPECT_TRUE(smpp.ConnectedAndBound);
    EXPECT_EQ(seen, seen_bound) << std::hex << command_id;
  }
  events.on_event = nullptr;
  // A text that is not hexadecimal octets is the caller's error.
  events.events.clear();
  EXPECT_EQ(testing::ErrorNumberOf([&] { smpp.DebugPDU("00 XY"); }), 13);
  EXPECT_EQ(testing::ErrorNumberOf([&] { smpp.DebugPDU("100"); }), 6);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(ResponseBranchesTest, NestedDrainsHandleEveryPduOnceInArrivalOrder) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  const auto link_ok = MakePdu(0x80000015, 0, 1);
  // The host pumps events from inside its first LinkOk handler, and more
  // PDUs arrive meanwhile.
  bool pumped = false;
  events.on_event = [&](const testing::RecordedEvent& e) {
    if (e.name != "LinkOk" || pumped) return;
    pumped = true;
    socket.Receive(MakePdu(0x80000000, 0, 9));
    environment.Yield();
  };
  std::vector<uint8_t> two = link_ok;
  two.insert(two.end(), link_ok.begin(), link_ok.end());
  socket.Receive(two);
  events.on_event = nullptr;
  // The nested drain takes the second enquire_link_resp, which arrived
  // before the generic_nack; none is handled twice.
  EXPECT_EQ(events.Names(), (Names{"LinkOk", "LinkOk", "Warning", "GenericNACK"}));
}

TEST_F(ResponseBranchesTest, SubmitMultiRespListsTheUnsuccessfulDestinations) {
  struct Case {
    const char* body;
    int16_t unsuccessful;
    Names recipients;  // TON/NPI/address/StatusCode
  };
  const Case cases[] = {
      // A status beyond 16 bits is stored as -1.
      {"37 37 00 02 01 01 34 34 37 37 30 30 31 00 00 00 00 45 02 08 30 36 31 32 00 00 00 80 00",
       2,
       {"1/1/4477001/69", "2/8/0612/-1"}},
      {"37 37 00 00", 0, {}},
      {"37 37 00", 0, {}},
      // A list cut short keeps the entries read before the end.
      {"37 37 00 03 01 01 34 34 37 37 30 30 31 00 00 00 7F FF 02 08 30 36",
       3,
       {"1/1/4477001/32767"}},
      {"37 37 00 01 01 01 34 34 37 37 30 30 31 00 00 00 00", 1, {}},
  };
  for (const Case& c : cases) {
    events.events.clear();
    Dispatch(MakePdu(0x80000021, 0, 3, Hex(c.body)));
    ASSERT_EQ(events.Names(), Names{"MessageDelivered"}) << c.body;
    const MessageObject& message = events.events[0].message;
    EXPECT_EQ(smpp.LastMessageID, "77");
    EXPECT_EQ(message.MessageID, "77");
    EXPECT_EQ(message.UnsuccessfulDeliveries, c.unsuccessful);
    Names recipients;
    for (const Recipient& r : message.Recipients) {
      EXPECT_EQ(r.DestAddressType, MultiDestAddressTypes::SME);
      recipients.push_back(std::to_string(static_cast<int>(r.AddressTON)) + "/" +
                           std::to_string(static_cast<int>(r.AddressNPI)) + "/" + r.Address + "/" +
                           std::to_string(r.StatusCode));
    }
    EXPECT_EQ(recipients, c.recipients) << c.body;
  }
  // The 255th entry does not fit the recipient list and is left out quietly.
  events.events.clear();
  std::vector<uint8_t> body{'7', '7', 0, 255};
  for (int entry = 0; entry < 255; ++entry) body.insert(body.end(), {1, 1, '1', 0, 0, 0, 0, 0});
  Dispatch(MakePdu(0x80000021, 0, 3, body));
  ASSERT_EQ(events.Names(), Names{"MessageDelivered"});
  EXPECT_EQ(events.events[0].message.Recipients.size(), 254u);
}

TEST_F(ResponseBranchesTest, QuerySmRespFillsTheLastQueryAndTheEventObject) {
  smpp.DebugPDU(
      "00 00 00 26 80 00 00 03 00 00 00 00 00 00 00 09 39 39 00 30 34 30 33 31 32 31 35 33 30 "
      "30 30 30 30 34 2B 00 02 00");
  const DateTime expected(2004, 3, 12, 15, 30, 0);
  EXPECT_EQ(smpp.LastMessageID, "99");
  EXPECT_EQ(LastQuery().state, 2);
  EXPECT_EQ(LastQuery().final_date, expected);
  ASSERT_EQ(events.Names(), Names{"MessageStatusReceived"});
  const MessageObject& message = events.events[0].message;
  EXPECT_EQ(message.MessageID, "99");
  EXPECT_EQ(message.FinalDeliveryDate, expected);
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Delivered);

  // Empty final_date: the zero date. State and error are the last octets.
  events.events.clear();
  smpp.DebugPDU("00 00 00 16 80 00 00 03 00 00 00 00 00 00 00 09 39 39 00 00 05 42");
  EXPECT_TRUE(events.events.at(0).message.FinalDeliveryDate.IsZero());
  EXPECT_EQ(events.events[0].message.DeliveryErrorCode, 0x42);
  EXPECT_EQ(LastQuery().state, 5);
  EXPECT_EQ(LastQuery().error_code, 0x42);

  // Letters in the year: reported, and the zero date is reported with.
  events.events.clear();
  session::Session::Of(smpp).QueryAnswered(
      {.state = 5, .final_date = expected, .error_code = 0x42});
  smpp.DebugPDU(
      "00 00 00 1C 80 00 00 03 00 00 00 00 00 00 00 09 39 39 00 41 34 30 33 31 32 00 02 00");
  ASSERT_EQ(events.Names(), (Names{"Error", "MessageStatusReceived"}));
  EXPECT_EQ(events.events[0].number, 13);
  const auto lines = testing::ReportLines(events.events[0].text);
  EXPECT_EQ(lines[1], "Description   :Type mismatch");
  EXPECT_EQ(lines[4], "Procedure Name:Handle");
  EXPECT_TRUE(events.events[1].message.FinalDeliveryDate.IsZero());
  EXPECT_TRUE(LastQuery().final_date.IsZero());
}

TEST(FinalDateTest, ConvertsTwoDigitYearsAndRollsOverLikeADateSerial) {
  const std::pair<const char*, DateTime> cases[] = {
      {"040312153000004+", {2004, 3, 12, 15, 30, 0}},
      {"991231235959000+", {1999, 12, 31, 23, 59, 59}},
      {"291231000000000+", {2029, 12, 31}},
      {"300101000000", {1930, 1, 1}},
      {"041301101010", {2005, 1, 1, 10, 10, 10}},
      {"040001000000", {2003, 12, 1}},
      {"040300000000", {2004, 2, 29}},
      {"040132000000", {2004, 2, 1}},
      {"049999000000", {2012, 6, 7}},
      // No valid time of day: the zero date.
      {"", {}},
      {"04031215300", {}},
      {"040312240000", {}},
      {"040312236000", {}},
      {"040312235960", {}},
      {"0403121530x0", {}},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(decoders::FinalDateOf(text), expected) << text;
  for (const char* text : {"0", "04031", "A40312000000", "04 312000000", "04-112000000"})
    EXPECT_EQ(testing::ErrorNumberOf([&] { decoders::FinalDateOf(text); }), 13) << text;
}

}  // namespace
}  // namespace korvane
