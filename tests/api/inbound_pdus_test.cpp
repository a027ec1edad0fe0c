// Every PDU the session can receive, one row each: the octets in, the events
// raised (traces and debug lines on), the PDUs sent back, and the binding
// flag and LastMessageID afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

struct Row {
  const char* pdu;
  const char* events;  // EventRecorder::Summary
  const char* sent;    // hex, " | " between PDUs
  const char* state = "bound=1 id=before";
};

class InboundPduTest : public testing::SessionFixture, public ::testing::WithParamInterface<Row> {
 protected:
  void SetUp() override {
    BindAs(BindTypes::SmppBindAsTransceiver);
    smpp.EnableTraceMessages(true);
    smpp.EnableDebugMessages(true);
    smpp.LastMessageID = "before";
  }
};

TEST_P(InboundPduTest, RaisesAndAnswersAsListed) {
  const std::size_t sent_before = socket.Sent().size();
  smpp.DebugPDU(GetParam().pdu);
  EXPECT_EQ(events.Summary(), GetParam().events);
  std::string sent;
  for (std::size_t i = sent_before; i < socket.Sent().size(); ++i)
    sent += (sent.empty() ? "" : " | ") + testing::HexText(socket.Sent()[i]);
  EXPECT_EQ(sent, GetParam().sent);
  EXPECT_EQ("bound=" + std::to_string(smpp.ConnectedAndBound) + " id=" + smpp.LastMessageID,
            GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Session, InboundPduTest,
    ::testing::Values(
        // Session PDUs; without a branch: responses and alert_notification traced,
        // other requests nacked "invalid command id", data_sm received; too short.
        Row{"00 00 00 10 80 00 00 15 00 00 00 00 00 00 00 01",
            "LinkOk, TraceLog{Received ENQUIRE_LINK_RESP}", ""},
        Row{"00 00 00 10 80 00 00 01 00 00 00 00 00 00 00 02",
            "Bound, TraceLog{Received BIND_RECEIVER_RESP}", ""},
        Row{"00 00 00 10 80 00 00 01 00 00 00 05 00 00 00 02",
            "Error#27005{Protocol Error : Bind Receiver Already Bound!!}, DebugLog{Protocol Error "
            ": Bind Receiver Protocol Error : Bind Receiver Already Bound!!}, Error#29001{Invalid "
            "Data in Receiver Bind Segment}, TraceLog{Received BIND_RECEIVER_RESP}",
            "", "bound=0 id=before"},
        Row{"00 00 00 10 00 00 00 09 00 00 00 00 00 00 00 02",
            "Error#29009{Invalid Data in Transceiver Bind Segment}, TraceLog{Received "
            "BIND_TRANSCEIVER_RESP}",
            "", "bound=0 id=before"},
        Row{"00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 07",
            "Error#27003{Protocol Error : NACK App. had raised an Invalid Command ID }, "
            "DebugLog{=}, Warning#29000{Generic NACK received from SMSC}, DebugLog{=}, "
            "GenericNACK#3{7}, TraceLog{Received GENERIC_NACK}",
            ""},
        Row{"00 00 00 10 80 00 00 00 00 00 01 03 00 00 00 07",
            "Error#28000{Protocol Error : NACK Unhandled Error - Status:0x00000103- Command:NACK}, "
            "DebugLog{=}, Warning#29000{Generic NACK received from SMSC}, DebugLog{=}, "
            "GenericNACK#259{7}, TraceLog{Received GENERIC_NACK}",
            ""},
        Row{"00 00 00 10 80 00 00 00 00 00 00 00 80 00 00 01",
            "Error#6{@Handle}, Warning#29000{Generic NACK received from SMSC}, DebugLog{=}, "
            "GenericNACK{0}, TraceLog{Received GENERIC_NACK}",
            ""},
        Row{"00 00 00 10 00 00 00 00 00 00 00 03 00 00 00 07", "TraceLog{Received GENERIC_NACK}",
            ""},
        Row{"00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 2A",
            "Error#29006{Invalid Data in UnBind Segment}, TraceLog{Sent UNBIND_RESP}, "
            "TraceLog{Received UNBIND_RESP}",
            "00 00 00 10 80 00 00 06 00 00 00 00 00 00 00 2A", "bound=0 id=before"},
        Row{"00 00 00 10 80 00 00 06 00 00 00 08 00 00 00 2B",
            "Error#27008{Protocol Error : UnBind System Error }, DebugLog{=}, Error#29006{Invalid "
            "Data in UnBind Segment}, TraceLog{Received UNBIND_RESP}",
            "", "bound=0 id=before"},
        Row{"00 00 00 10 00 00 00 15 00 00 00 00 00 00 01 2C",
            "Warning#28282[KvSmpp]{Server sent EnquireLink}, TraceLog{Received ENQUIRE_LINK}, "
            "TraceLog{Sent ENQUIRE_LINK_RESP}",
            "00 00 00 10 80 00 00 15 00 00 00 00 00 00 01 2C"},
        Row{"00 00 00 10 80 00 01 03 00 00 00 00 00 00 00 01", "TraceLog{Received unhandled PDU}",
            ""},
        Row{"00 00 00 13 00 00 01 02 00 00 00 00 00 00 00 07 00 00 00",
            "TraceLog{Received unhandled PDU}", ""},
        Row{"00 00 00 10 80 00 09 99 00 00 00 00 00 00 00 08", "TraceLog{Received unhandled PDU}",
            ""},
        Row{"00 00 00 10 00 00 09 99 00 00 00 00 00 00 00 05",
            "TraceLog{Sent GENERIC_NACK}, TraceLog{Received unhandled PDU}",
            "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 05"},
        Row{"00 00 00 10 00 00 00 07 00 00 00 00 00 00 00 06",
            "TraceLog{Sent GENERIC_NACK}, TraceLog{Received unhandled PDU}",
            "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 06"},
        Row{"00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 2A 00 01 01 31 00 01 01 32 00 00 00 00 "
            "04 24 00 02 48 69",
            "TraceLog{Sent DATA_SM_RESP}, MessageReceived, TraceLog{Received DATA_SM}",
            "00 00 00 11 80 00 01 03 00 00 00 00 00 00 00 2A 00"},
        Row{"00 00 00 10 80 00 00 15 00 00 00 00", "Error#9{@RPDUNotification}", ""},
        Row{"", "Error#9{@RPDUNotification}", ""}));

INSTANTIATE_TEST_SUITE_P(
    Responses, InboundPduTest,
    ::testing::Values(
        // Accepted, refused (the whole command_status decides), cut short.
        Row{"00 00 00 17 80 00 00 04 00 00 00 00 00 00 00 05 31 41 32 42 33 43 00",
            "MessageDelivered, TraceLog{Received SUBMIT_SM_RESP}", "", "bound=1 id=1A2B3C"},
        Row{"00 00 00 13 80 00 00 04 00 00 00 58 00 00 00 05 31 41 00",
            "Error#27088{Protocol Error : Submit SM Throttling error (ESME has exceeded allowed "
            "message limits)}, DebugLog{=}, Error#29004{Invalid Data in Submit SM Segment}, "
            "TraceLog{Received SUBMIT_SM_RESP}",
            ""},
        Row{"00 00 00 13 80 00 00 21 00 00 00 45 00 00 00 05 37 37 00",
            "Error#27069{Protocol Error : Submit SM Multi Submit Failed }, DebugLog{=}, "
            "Error#29033{Invalid Data in Submit SM Segment}, TraceLog{Received SUBMIT_MULTI_RESP}",
            ""},
        Row{"00 00 00 13 00 00 00 03 00 00 00 00 00 00 00 05 39 39 00",
            "Error#29003{Invalid Data in Query SM Segment}, TraceLog{Received QUERY_SM_RESP}", ""},
        Row{"00 00 00 10 80 00 00 08 00 00 00 45 00 00 00 0C",
            "Error#27069{Protocol Error : Cancel SM Submit Failed }, DebugLog{=}, "
            "Error#29008{Invalid Data in Cancel SM Segment}, TraceLog{Received CANCEL_SM_RESP}",
            ""},
        Row{"00 00 00 10 80 00 00 08 00 00 01 00 00 00 01 00",
            "Error#28000{Protocol Error : Cancel SM Unhandled Error - Status:0x00000100- "
            "Command:Cancel SM}, DebugLog{=}, Error#29008{Invalid Data in Cancel SM Segment}, "
            "TraceLog{Received CANCEL_SM_RESP}",
            ""},
        Row{"00 00 00 10 80 00 00 05 00 00 00 45 00 00 00 0C",
            "Error#27069{Protocol Error : Deliver SM Submit Failed }, DebugLog{=}, "
            "Error#27069{Protocol Error : Deliver SM Submit Failed }, DebugLog{=}, "
            "Error#29005{Invalid Data in Deliver SM RESP Segment}, TraceLog{Received "
            "DELIVER_SM_RESP}",
            ""},
        Row{"00 00 00 15 80 00 00 05 00 00 00 00 00 00 00 0C 31 32 33 34 00",
            "TraceLog{Received DELIVER_SM_RESP}", ""},
        Row{"00 00 00 10 80 00 00 04 00 00 04 00 00 00 00 05",
            "Error#28000{Protocol Error : Submit SM Unhandled Error - Status:0x00000400- "
            "Command:Submit SM}, DebugLog{=}, Error#29004{Invalid Data in Submit SM Segment}, "
            "TraceLog{Received SUBMIT_SM_RESP}",
            ""},
        Row{"00 00 00 13 80 00 00 21 00 01 00 00 00 00 00 05 31 41 00",
            "Error#28000{Protocol Error : Submit SM Multi Unhandled Error - Status:0x00010000- "
            "Command:Submit SM Multi}, DebugLog{=}, Error#29033{Invalid Data in Submit SM "
            "Segment}, TraceLog{Received SUBMIT_MULTI_RESP}",
            ""},
        Row{"00 00 00 13 80 00 00 04 00 00 00 00 00 00 00 05 31 41 32",
            "Error#9{@Handle}, TraceLog{Received SUBMIT_SM_RESP}", ""},
        Row{"00 00 00 13 80 00 00 21 00 00 00 00 00 00 00 05 37 37 37",
            "Error#9{@Handle}, TraceLog{Received SUBMIT_MULTI_RESP}", ""},
        Row{"00 00 00 13 80 00 00 03 00 00 00 00 00 00 00 05 39 39 39",
            "Error#9{@Handle}, TraceLog{Received QUERY_SM_RESP}", ""},
        Row{"00 00 00 15 80 00 00 03 00 00 00 00 00 00 00 05 39 39 00 30 34",
            "Error#9{@Handle}, TraceLog{Received QUERY_SM_RESP}", "", "bound=1 id=99"}));

INSTANTIATE_TEST_SUITE_P(
    Reception, InboundPduTest,
    ::testing::Values(
        // deliver_sm: acknowledged, raised, warned; never answered when
        // undecodable or refused.
        Row{"00 00 00 30 00 00 00 05 00 00 00 00 00 00 00 2A 00 01 01 2B 34 34 37 39 00 01 01 31 "
            "32 33 34 35 00 00 00 00 00 00 00 00 00 00 05 48 65 6C 6C 6F",
            "TraceLog{Sent DELIVER_SM_RESP}, MessageReceived, TraceLog{Received DELIVER_SM}",
            "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 2A 00"},
        Row{"00 00 00 3B 00 00 00 05 00 00 00 00 00 00 00 2B 00 01 01 2B 34 34 37 39 00 01 01 31 "
            "32 33 34 35 00 00 00 00 00 00 00 00 00 00 14 30 31 32 33 34 35 36 37 38 39",
            "TraceLog{Sent DELIVER_SM_RESP}, MessageReceived, Warning#29005{Error in Message "
            "Length of Deliver SM Packet- Declared:20, Received:0}, DebugLog{=}, TraceLog{Received "
            "DELIVER_SM}",
            "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 2B 00"},
        Row{"00 00 00 35 00 00 00 05 00 00 00 00 00 00 00 2C 00 01 01 2B 34 34 37 39 00 01 01 31 "
            "32 33 34 35 00 00 00 00 00 00 00 00 00 00 00 04 27 00 09 02",
            "Error#9{@Handle}, TraceLog{Sent DELIVER_SM_RESP}, MessageReceived, TraceLog{Received "
            "DELIVER_SM}",
            "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 2C 00"},
        Row{"00 00 00 15 00 00 00 05 00 00 00 00 00 00 00 2D 00 01 01 2B 34",
            "Error#9{@Handle}, TraceLog{Received DELIVER_SM}", ""},
        Row{"00 00 00 30 00 00 00 05 00 00 00 03 00 00 00 2A 00 01 01 2B 34 34 37 39 00 01 01 31 "
            "32 33 34 35 00 00 00 00 00 00 00 00 00 00 05 48 65 6C 6C 6F",
            "Error#27003{Protocol Error : Deliver SM App. had raised an Invalid Command ID }, "
            "DebugLog{=}, Error#27003{Protocol Error : Deliver SM App. had raised an Invalid "
            "Command ID }, DebugLog{=}, Error#29005{Invalid Data in Deliver SM RESP Segment}, "
            "TraceLog{Received DELIVER_SM_RESP}",
            ""}));

}  // namespace
}  // namespace korvane
