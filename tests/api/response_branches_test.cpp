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
  std::vector<int32_t> ErrorNumbers() const {
    std::vector<int32_t> numbers;
    for (const auto& error : events.Named("Error")) numbers.push_back(error.number);
    return numbers;
  }
  // The label of the last event, a trace.
  std::string TraceLabel() const {
    const std::string& text = events.events.back().text;
    return text.substr(0, text.find(":\t"));
  }
};

TEST_F(ResponseBranchesTest, SubmitSmRespSetsLastMessageIdAndReportsAFreshObject) {
  smpp.DebugPDU("00 00 00 17 80 00 00 04 00 00 00 00 00 00 00 05 31 41 32 42 33 43 00");
  EXPECT_EQ(smpp.LastMessageID, "1A2B3C");
  ASSERT_EQ(events.Names(), Names{"MessageDelivered"});
  EXPECT_EQ(events.events[0].message.MessageID, "1A2B3C");
  EXPECT_EQ(events.events[0].message.SequenceNumber, 0);
}

TEST_F(ResponseBranchesTest, ResponsesNotAcceptedReportStatusThenInvalidData) {
  struct Case {
    const char* pdu;
    std::vector<int32_t> errors;
    const char* text;
    const char* label;
  };
  const Case cases[] = {
      {"00 00 00 13 80 00 00 04 00 00 00 58 00 00 00 05 31 41 00",
       {27088, 29004},
       "Invalid Data in Submit SM Segment",
       "Received SUBMIT_SM_RESP"},
      {"00 00 00 13 80 00 00 21 00 00 00 45 00 00 00 05 37 37 00",
       {27069, 29033},
       "Invalid Data in Submit SM Segment",
       "Received SUBMIT_MULTI_RESP"},
      // A request id in a response's place.
      {"00 00 00 13 00 00 00 03 00 00 00 00 00 00 00 05 39 39 00",
       {29003},
       "Invalid Data in Query SM Segment",
       "Received QUERY_SM_RESP"},
      {"00 00 00 10 80 00 00 08 00 00 00 45 00 00 00 0C",
       {27069, 29008},
       "Invalid Data in Cancel SM Segment",
       "Received CANCEL_SM_RESP"},
      // deliver_sm_resp checks its status twice.
      {"00 00 00 10 80 00 00 05 00 00 00 45 00 00 00 0C",
       {27069, 27069, 29005},
       "Invalid Data in Deliver SM RESP Segment",
       "Received DELIVER_SM_RESP"},
  };
  smpp.EnableTraceMessages(true);
  for (const Case& c : cases) {
    events.events.clear();
    smpp.LastMessageID = "before";
    smpp.DebugPDU(c.pdu);
    EXPECT_EQ(ErrorNumbers(), c.errors) << c.pdu;
    EXPECT_EQ(events.events.size(), c.errors.size() + 1) << c.pdu;  // and the trace
    EXPECT_EQ(events.Named("Error").back().text, c.text);
    EXPECT_EQ(TraceLabel(), c.label);
    EXPECT_EQ(smpp.LastMessageID, "before");
  }
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

TEST_F(ResponseBranchesTest, CancelSmRespCarriesSequenceNumberAndWholeStatus) {
  for (const auto& [pdu, sequence_number, result] : {
           std::tuple{"00 00 00 10 80 00 00 08 00 00 00 00 00 00 00 0C", 12, 0},
           std::tuple{"00 00 00 10 80 00 00 08 00 00 00 00 00 00 01 00", 256, 0},
       }) {
    events.events.clear();
    smpp.DebugPDU(pdu);
    ASSERT_EQ(events.Names(), Names{"MessageCancelResult"}) << pdu;
    EXPECT_EQ(events.events[0].message.SequenceNumber, sequence_number);
    EXPECT_EQ(events.events[0].message.CancelResultCode, result);
  }
  // Any non-zero status, whatever its low octet, is a refusal.
  events.events.clear();
  smpp.DebugPDU("00 00 00 10 80 00 00 08 00 00 01 00 00 00 01 00");
  EXPECT_EQ(ErrorNumbers(), (std::vector<int32_t>{28000, 29008}));
}

TEST_F(ResponseBranchesTest, AcceptedDeliverSmRespIsOnlyTraced) {
  smpp.EnableTraceMessages(true);
  smpp.DebugPDU("00 00 00 15 80 00 00 05 00 00 00 00 00 00 00 0C 31 32 33 34 00");
  ASSERT_EQ(events.Names(), Names{"TraceLog"});
  EXPECT_EQ(TraceLabel(), "Received DELIVER_SM_RESP");
}

TEST_F(ResponseBranchesTest, FieldsRunningPastTheEndAreReportedAndThePduAbandoned) {
  for (const auto& [pdu, last_message_id] : {
           std::pair{"00 00 00 13 80 00 00 04 00 00 00 00 00 00 00 05 31 41 32", "before"},
           std::pair{"00 00 00 13 80 00 00 21 00 00 00 00 00 00 00 05 37 37 37", "before"},
           std::pair{"00 00 00 13 80 00 00 03 00 00 00 00 00 00 00 05 39 39 39", "before"},
           // message_id read, final_date without its NUL.
           std::pair{"00 00 00 15 80 00 00 03 00 00 00 00 00 00 00 05 39 39 00 30 34", "99"},
       }) {
    events.events.clear();
    smpp.LastMessageID = "before";
    smpp.DebugPDU(pdu);
    ASSERT_EQ(ErrorNumbers(), std::vector<int32_t>{9}) << pdu;
    EXPECT_EQ(events.Names(), Names{"Error"});
    EXPECT_EQ(testing::ReportLines(events.events[0].text)[4], "Procedure Name:Handle");
    EXPECT_EQ(smpp.LastMessageID, last_message_id);
  }
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// The whole command_status decides: a status whose low octet is 0 or a known
// status is still an unknown refusal, shown in hex.
TEST_F(ResponseBranchesTest, TheWholeCommandStatusIsARefusal) {
  struct Case {
    const char* pdu;
    std::vector<int32_t> errors;
    const char* status_text;
  };
  const Case cases[] = {
      // Header only: refused, and no body is read.
      {"00 00 00 10 80 00 00 04 00 00 04 00 00 00 00 05",
       {28000, 29004},
       "Protocol Error : Submit SM Unhandled Error - Status:0x00000400- Command:Submit SM"},
      {"00 00 00 13 80 00 00 04 00 00 04 58 00 00 00 05 31 41 00",
       {28000, 29004},
       "Protocol Error : Submit SM Unhandled Error - Status:0x00000458- Command:Submit SM"},
      {"00 00 00 13 80 00 00 21 00 01 00 00 00 00 00 05 31 41 00",
       {28000, 29033},
       "Protocol Error : Submit SM Multi Unhandled Error - Status:0x00010000- Command:Submit SM "
       "Multi"},
  };
  for (const Case& c : cases) {
    events.events.clear();
    smpp.LastMessageID = "before";
    smpp.DebugPDU(c.pdu);
    EXPECT_EQ(ErrorNumbers(), c.errors) << c.pdu;
    EXPECT_EQ(events.Names(), (Names{"Error", "Error"})) << c.pdu;
    EXPECT_EQ(events.Named("Error").front().text, c.status_text);
    EXPECT_EQ(smpp.LastMessageID, "before");
  }
  // generic_nack reports its whole status.
  events.events.clear();
  smpp.DebugPDU("00 00 00 10 80 00 00 00 00 00 01 03 00 00 00 07");
  ASSERT_EQ(events.Named("GenericNACK").size(), 1u);
  EXPECT_EQ(events.Named("GenericNACK")[0].number, 0x103);
}

}  // namespace
}  // namespace korvane
