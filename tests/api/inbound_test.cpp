// Every kind of PDU the session can receive, one row each: the octets in, the
// events raised (traces on), the PDUs sent back, the binding flag and
// LastMessageID afterwards, and the recipients of the messages raised.

#include "api/api_fixture.hpp"
#include "decoders/final_date.hpp"

namespace korvane {
namespace {

// "command_id/command_status/sequence body | events | sent | state |
// recipients": a PDU (its octets after "raw"; "D" stands for kAddresses) and,
// after it, ApiTest::Events, the PDUs sent back, the binding flag and
// LastMessageID ("bound=1 id=before" when left out), and each recipient of
// the messages raised.

const std::string kAddresses =
    "00 01 01 2B 34 34 37 39 00 01 01 31 32 33 34 35 00 00 00 00 00 00 00 00 00 00";

std::vector<uint8_t> PduOf(std::string text) {
  for (std::size_t at; (at = text.find('D')) != std::string::npos;) text.replace(at, 1, kAddresses);
  if (text.starts_with("raw ")) return testing::Hex(text.substr(4));
  std::istringstream in(text);
  std::string head, body;
  std::getline(in >> head, body);
  uint32_t id = 0, status = 0, sequence = 0;
  std::sscanf(head.c_str(), "%x/%x/%u", &id, &status, &sequence);
  return testing::MakePdu(id, status, sequence, testing::Hex(body));
}

using InboundTest = testing::ApiTest;

TEST_F(InboundTest, EachPduRaisesAndAnswersAsListed) {
  const char* const rows[] = {
      // Session PDUs; without a branch: responses and alert_notification
      // traced, other requests nacked "invalid command id", data_sm received;
      // too short.
      "80000001/5/2 | Error#27005, Error#29001, <BIND_RECEIVER_RESP |  | bound=0 id=before",
      "9/0/2 | Error#29009, <BIND_TRANSCEIVER_RESP |  | bound=0 id=before",
      "80000000/3/7 | Error#27003, Warning#29000, GenericNACK#3{7}, <GENERIC_NACK | ",
      "80000000/0/2147483649 | Error#6{@Handle}, Warning#29000, GenericNACK{0}, <GENERIC_NACK | ",
      "6/0/42 | Error#29006, >UNBIND_RESP, <UNBIND_RESP | 80000006:42 | bound=0 id=before",
      "80000006/8/43 | Error#27008, Error#29006, <UNBIND_RESP |  | bound=0 id=before",
      "15/0/300 | Warning#28282[KvSmpp], <ENQUIRE_LINK, >ENQUIRE_LINK_RESP | 80000015:300",
      "102/0/7 00 00 00 | <unhandled PDU | ",
      "7/0/6 | >GENERIC_NACK, <unhandled PDU | 80000000:6/3",
      "raw 00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 2A 00 01 01 31 00 01 01 32 00 00 00 00 "
      "04 24 00 02 48 69 | >DATA_SM_RESP, MessageReceived, <DATA_SM | 80000103:42",
      "raw 00 00 00 10 80 00 00 15 00 00 00 00 | Error#9{@RPDUNotification} | ",
      // Responses: a status beyond 16 bits is stored as -1; the whole
      // command_status decides; cut short.
      "80000021/0/3 37 37 00 02 01 01 34 34 37 37 30 30 31 00 00 00 00 45 02 08 30 "
      "36 31 32 00 00 00 80 00 | MessageDelivered, <SUBMIT_MULTI_RESP |  | bound=1 "
      "id=77 | 1 1 4477001 69 1;2 8 0612 -1 1;",
      "80000003/0/9 39 39 00 30 34 30 33 31 32 31 35 33 30 30 30 30 30 34 2B 00 02 "
      "00 | MessageStatusReceived, <QUERY_SM_RESP |  | bound=1 id=99",
      "80000004/58/5 31 41 00 | Error#27088, Error#29004, <SUBMIT_SM_RESP | ",
      "80000021/45/5 37 37 00 | Error#27069, Error#29033, <SUBMIT_MULTI_RESP | ",
      "3/0/5 39 39 00 | Error#29003, <QUERY_SM_RESP | ",
      "80000008/45/12 | Error#27069, Error#29008, <CANCEL_SM_RESP | ",
      "80000005/45/12 | Error#27069, Error#27069, Error#29005, <DELIVER_SM_RESP | ",
      "80000004/0/5 31 41 32 | Error#9{@Handle}, <SUBMIT_SM_RESP | ",
      // deliver_sm: acknowledged, raised, warned; never answered when undecodable
      // or refused.
      "5/0/42 D 05 48 65 6C 6C 6F | >DELIVER_SM_RESP, MessageReceived, <DELIVER_SM | 80000005:42",
      "raw 00 00 00 35 00 00 00 05 00 00 00 00 00 00 00 2C D 00 04 27 00 09 02 | "
      "Error#9{@Handle}, >DELIVER_SM_RESP, MessageReceived, <DELIVER_SM | 80000005:44",
      "5/0/45 00 01 01 2B 34 | Error#9{@Handle}, <DELIVER_SM | ",
      "5/3/42 D 05 48 65 6C 6C 6F | Error#27003, Error#27003, Error#29005, <DELIVER_SM_RESP | ",
  };
  smpp.EnableTraceMessages(true);
  for (const char* row : rows) {
    if (!smpp.ConnectedAndBound) BindAs(kTRx);
    smpp.LastMessageID = "before";
    std::vector<std::string> parts;
    std::string text = row;
    for (std::size_t at; (at = text.find(" | ")) != std::string::npos; text.erase(0, at + 3))
      parts.push_back(text.substr(0, at));
    parts.push_back(text);
    parts.resize(5);
    const std::string line = Run([&] {
      smpp.DebugPDU(testing::HexText(PduOf(parts[0])));
      std::string recipients;
      for (const auto& event : events.events)
        for (const Recipient& r : event.message.Recipients)
          recipients += Join(static_cast<int>(r.AddressTON), static_cast<int>(r.AddressNPI),
                             r.Address, r.StatusCode, static_cast<int>(r.DestAddressType)) +
                        ";";
      return Join("bound=" + std::to_string(smpp.ConnectedAndBound), "id=" + smpp.LastMessageID) +
             " | " + recipients;
    });
    EXPECT_EQ(line, (parts[3].empty() ? "bound=1 id=before" : parts[3]) + " | " + parts[4] + " | " +
                        parts[1] + " | " + parts[2] + " | 0ms");
  }
}

// The response to deliver_sm goes first with 0 (the table above); under
// AckAfterHandler it follows MessageReceived with the handler's status (0x64
// when it throws). Rows: "handler | sent before the handler | events | sent
// | time".
TEST_F(InboundTest, AckAfterHandlerAnswersWithTheHandlersStatus) {
  struct Acting : SMPPEvents {
    std::function<void(MessageObject&)> on_message;
    void MessageReceived(MessageObject& m) override { on_message(m); }
  } sink;
  const std::string deliver = testing::HexText(
      PduOf("5/0/7 00 01 01 31 00 01 01 32 00 00 00 00 00 00 00 00 00 00 02 48 69"));
  BindAs(kTRx);
  smpp.AckAfterHandler(true);
  smpp.Subscribe(sink);
  for (const std::string row :
       {"1 | 0 | MessageReceived | 80000005:7/45 | 0ms",
        "2 | 0 | MessageReceived, Error#5{@Handle} | 80000005:7/64 | 0ms"}) {
    std::size_t sent_before = socket.Sent().size(), sent_then = 0;
    sink.on_message = [&](MessageObject& m) {
      sent_then = socket.Sent().size() - sent_before;
      if (row[0] == '1') m.ResponseStatus = 0x45;
      if (row[0] == '2') throw std::runtime_error("host failed");
    };
    EXPECT_EQ(Run([&] { return smpp.DebugPDU(deliver), std::to_string(sent_then); }),
              row.substr(4));
  }
  smpp.Unsubscribe(sink);
}

// Two-digit years, rolling over like a date serial; the zero date without a
// valid time of day.
TEST(FinalDateTest, ConvertsTwoDigitYearsAndRollsOverLikeADateSerial) {
  for (const char* row :
       {"991231235959000+ 1999-12-31 23:59:59", "291231000000000+ 2029-12-31 00:00:00",
        "300101000000 1930-01-01 00:00:00", "041301101010 2005-01-01 10:10:10",
        "040001000000 2003-12-01 00:00:00", "040300000000 2004-02-29 00:00:00",
        "049999000000 2012-06-07 00:00:00", " 1899-12-30 00:00:00",
        "04031215300 1899-12-30 00:00:00", "040312240000 1899-12-30 00:00:00",
        "040312236000 1899-12-30 00:00:00", "040312235960 1899-12-30 00:00:00"}) {
    const std::string text(row);
    EXPECT_EQ(decoders::FinalDateOf(text.substr(0, text.find(' '))).ToString(),
              text.substr(text.find(' ') + 1));
  }
  for (const char* text : {"0", "A40312000000", "04-112000000"})
    EXPECT_EQ(testing::ErrorNumberOf([&] { decoders::FinalDateOf(text); }), 13) << text;
}

}  // namespace
}  // namespace korvane
