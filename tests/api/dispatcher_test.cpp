#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;
using testing::MakePdu;
using Names = std::vector<std::string>;

class DispatcherTest : public testing::SessionFixture {
 protected:
  void Dispatch(const std::vector<uint8_t>& pdu) { smpp.DebugPDU(testing::HexText(pdu)); }

  // Label of each trace line, in order.
  std::vector<std::string> TraceLabels() const {
    std::vector<std::string> labels;
    for (const auto& trace : events.Named("TraceLog"))
      labels.push_back(trace.text.substr(0, trace.text.find(":\t")));
    return labels;
  }
};

TEST_F(DispatcherTest, BindResponsesBindTheSessionAndTransceiverRaisesBoundFirst) {
  struct Case {
    uint32_t command_id;
    int32_t binding_type;
    bool bound_seen_in_handler;
  };
  for (const Case& c :
       {Case{0x80000001, 1, true}, Case{0x80000002, 2, true}, Case{0x80000009, 3, false}}) {
    smpp.ConnectedAndBound = false;
    bool seen = false;
    events.on_event = [&](const testing::RecordedEvent& e) {
      if (e.name == "Bound") seen = smpp.ConnectedAndBound;
    };
    Dispatch(MakePdu(c.command_id, 0, 1));
    EXPECT_TRUE(smpp.ConnectedAndBound);
    EXPECT_EQ(seen, c.bound_seen_in_handler) << std::hex << c.command_id;
  }
  EXPECT_EQ(events.Names(), (Names{"Bound", "Bound", "Bound"}));
}

TEST_F(DispatcherTest, RejectedBindResponsesReportStatusThenInvalidData) {
  smpp.EnableDebugMessages(true);
  smpp.ConnectedAndBound = true;
  smpp.DebugPDU("00 00 00 10 80 00 00 01 00 00 00 05 00 00 00 02");
  ASSERT_EQ(events.Names(), (Names{"Error", "DebugLog", "Error"}));
  EXPECT_EQ(events.events[0].number, 27005);
  EXPECT_EQ(events.events[0].text, "Protocol Error : Bind Receiver Already Bound!!");
  EXPECT_EQ(events.events[1].text,
            "Protocol Error : Bind Receiver Protocol Error : Bind Receiver Already Bound!!");
  EXPECT_EQ(events.events[2].number, 29001);
  EXPECT_EQ(events.events[2].text, "Invalid Data in Receiver Bind Segment");
  EXPECT_FALSE(smpp.ConnectedAndBound);

  // A request id in the response's place is not accepted either.
  events.events.clear();
  smpp.DebugPDU("00 00 00 10 00 00 00 09 00 00 00 00 00 00 00 02");
  ASSERT_EQ(events.Names(), Names{"Error"});
  EXPECT_EQ(events.events[0].number, 29009);
}

TEST_F(DispatcherTest, GenericNackWarnsAndCarriesStatusAndSequence) {
  smpp.EnableTraceMessages(true);
  smpp.DebugPDU("00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 07");
  ASSERT_EQ(events.Names(), (Names{"Error", "Warning", "GenericNACK", "TraceLog"}));
  EXPECT_EQ(events.events[0].number, 27003);
  EXPECT_EQ(events.events[1].number, 29000);
  EXPECT_EQ(events.events[1].text, "Generic NACK received from SMSC");
  EXPECT_EQ(events.events[2].number, 3);
  EXPECT_EQ(events.events[2].text, "7");
  EXPECT_EQ(TraceLabels(), Names{"Received GENERIC_NACK"});

  // A sequence_number beyond 31 bits is reported and taken as 0.
  events.events.clear();
  smpp.DebugPDU("00 00 00 10 80 00 00 00 00 00 00 00 80 00 00 01");
  ASSERT_EQ(events.Names(), (Names{"Error", "Warning", "GenericNACK", "TraceLog"}));
  EXPECT_EQ(events.events[0].number, 6);
  EXPECT_EQ(events.events[2].text, "0");

  // Command id 0x00000000 is no generic_nack: only the trace.
  events.events.clear();
  smpp.DebugPDU("00 00 00 10 00 00 00 00 00 00 00 03 00 00 00 07");
  EXPECT_EQ(events.Names(), Names{"TraceLog"});
}

TEST_F(DispatcherTest, UnbindFromTheSmscIsReportedAndAnswered) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  socket.Receive(Hex("00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 2A"));
  ASSERT_EQ(events.Names(), Names{"Error"});
  EXPECT_EQ(events.events[0].number, 29006);
  EXPECT_EQ(events.events[0].text, "Invalid Data in UnBind Segment");
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(socket.Sent().back(), Hex("00 00 00 10 80 00 00 06 00 00 00 00 00 00 00 2A"));
  // A rejected unbind_resp unbinds too, and is not answered.
  const std::size_t sent = socket.Sent().size();
  smpp.DebugPDU("00 00 00 10 80 00 00 06 00 00 00 08 00 00 00 2B");
  EXPECT_EQ(events.Named("Error").back().number, 29006);
  EXPECT_EQ(socket.Sent().size(), sent);
}

TEST_F(DispatcherTest, EnquireLinkRespSetsTheBindingFlagAndRaisesLinkOk) {
  smpp.DebugPDU("00  00 00 10 80 00 00 15 00 00 00 00 00 00 00 01");
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
  EXPECT_TRUE(smpp.ConnectedAndBound);
}

TEST_F(DispatcherTest, PdusWithoutABranchAreOnlyTraced) {
  smpp.EnableTraceMessages(true);
  for (const char* pdu : {
           "00 00 00 10 80 00 01 03 00 00 00 00 00 00 00 01",  // data_sm_resp
           "00 00 00 10 00 00 01 02 00 00 00 00 00 00 00 01",  // alert_notification
           "00 00 00 10 80 00 00 FF 00 00 00 00 00 00 00 01",
       }) {
    smpp.DebugPDU(pdu);
  }
  EXPECT_EQ(TraceLabels(), Names(3, "Received unhandled PDU"));
  EXPECT_EQ(events.Names(), Names(3, "TraceLog"));
}

TEST_F(DispatcherTest, MalformedInputIsReportedOnceAndNeverDispatched) {
  // Too short for a header: reported by the drain, then dropped.
  for (const char* pdu : {"", "00 00 00 0C 80 00 00 15 00 00 00 00"}) {
    events.events.clear();
    smpp.DebugPDU(pdu);
    ASSERT_EQ(events.Names(), Names{"Error"}) << pdu;
    EXPECT_EQ(events.events[0].number, 9);
    EXPECT_NE(events.events[0].text.find("Procedure Name:RPDUNotification"), std::string::npos);
  }
  // A text that is not hexadecimal octets is the caller's error.
  events.events.clear();
  EXPECT_EQ(ErrorNumberOf([&] { smpp.DebugPDU("00 XY"); }), 13);
  EXPECT_EQ(ErrorNumberOf([&] { smpp.DebugPDU("100"); }), 6);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(DispatcherTest, NestedDrainsHandleEveryPduOnceInArrivalOrder) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  const auto link_ok = MakePdu(0x80000015, 0, 1);
  const auto nack = MakePdu(0x80000000, 0, 9);
  // The host pumps events from inside its first LinkOk handler, and more
  // PDUs arrive meanwhile.
  bool pumped = false;
  events.on_event = [&](const testing::RecordedEvent& e) {
    if (e.name != "LinkOk" || pumped) return;
    pumped = true;
    socket.Receive(nack);
    environment.Yield();
  };
  std::vector<uint8_t> two = link_ok;
  two.insert(two.end(), link_ok.begin(), link_ok.end());
  socket.Receive(two);
  // The nested drain takes the second enquire_link_resp, which arrived
  // before the generic_nack; none is handled twice.
  EXPECT_EQ(events.Names(), (Names{"LinkOk", "LinkOk", "Warning", "GenericNACK"}));
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// Every request from the SMSC gets an answer: data_sm a data_sm_resp and
// MessageReceived, one without a branch a generic_nack "invalid command id";
// alert_notification and responses without a branch get none.
TEST_F(DispatcherTest, RequestsWithoutABranchAreAnswered) {
  struct Case {
    std::string pdu;
    std::string answer;  // empty: nothing is sent
    Names events;
  };
  const Case cases[] = {
      {"00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 2A 00 01 01 31 00 01 01 32 00 00 00 00 04 "
       "24 00 02 48 69",
       "00 00 00 11 80 00 01 03 00 00 00 00 00 00 00 2A 00",
       {"MessageReceived"}},
      {"00 00 00 10 00 00 09 99 00 00 00 00 00 00 00 05",
       "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 05",
       {}},
      {"00 00 00 10 00 00 00 07 00 00 00 00 00 00 00 06",
       "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 06",
       {}},
      {"00 00 00 13 00 00 01 02 00 00 00 00 00 00 00 07 00 00 00", "", {}},
      {"00 00 00 10 80 00 09 99 00 00 00 00 00 00 00 08", "", {}},
      {"00 00 00 11 80 00 01 03 00 00 00 00 00 00 00 09 00", "", {}},
  };
  BindAs(BindTypes::SmppBindAsTransceiver);
  for (const Case& c : cases) {
    events.events.clear();
    const std::size_t sent = socket.Sent().size();
    smpp.DebugPDU(c.pdu);
    EXPECT_EQ(events.Names(), c.events) << c.pdu;
    if (c.answer.empty()) {
      EXPECT_EQ(socket.Sent().size(), sent) << c.pdu;
    } else {
      ASSERT_EQ(socket.Sent().size(), sent + 1) << c.pdu;
      EXPECT_EQ(testing::HexText(socket.Sent().back()), c.answer);
    }
  }
  // The data_sm's text is in Payload.
  events.events.clear();
  smpp.DebugPDU(cases[0].pdu);
  ASSERT_EQ(events.Names(), Names{"MessageReceived"});
  EXPECT_EQ(events.events[0].message.Payload.ToText(), "Hi");
  EXPECT_EQ(events.events[0].message.SourceAddress, "1");
  EXPECT_EQ(events.events[0].message.DestAddress, "2");
}

}  // namespace
}  // namespace korvane
