// The operations: Bind, Unbind, EnquireLink and the link's keep-alive,
// QueryMessage and CancelMessage, what each call returned, raised, sent and
// took; their refusals, one row each; the error reports.

#include "api/api_fixture.hpp"

namespace korvane {
namespace {

using RefusalTest = testing::ApiTest;

class RequestsTest : public testing::ApiTest {
 protected:
  // What Bind returned, the binding flag and the socket's state.
  std::string Bind(BindTypes type) {
    const int16_t bound = smpp.Bind(type);
    return Join(bound, smpp.ConnectedAndBound, socket.State());
  }
  std::string Query(bool wait) {
    const bool empty = smpp.QueryMessage(message, wait).IsEmpty();
    return Join(empty, message.SequenceNumber, static_cast<int>(message.DeliveryStatus),
                message.DeliveryErrorCode, message.FinalDeliveryDate.IsZero(), smpp.LastMessageID);
  }
};

// Binding again unbinds first; a bind carries the session's settings; an
// unbind closes the connection once answered. A refused bind, a bind of an
// unknown type and an unanswered unbind end after their timeouts.
TEST_F(RequestsTest, BindAndUnbindSendTheExactPdus) {
  smpp.SystemID("abc");
  smpp.ProtocolID(static_cast<ProtocolIDs>(52));
  smpp.EnableTraceMessages(true);
  BindAs(kTx);
  smpp.ReceiverAddressRange("12");
  EXPECT_EQ(Run([&] { return Bind(kRx) + " " + socket.RemoteHost(); }, true),
            "1 1 7 smsc.test | >Unbind, UnBound, <UNBIND_RESP, >Bind Receiver, Bound, "
            "<BIND_RECEIVER_RESP | "
            "00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04, 00 00 00 1C 00 00 00 01 00 00 00 00 "
            "00 00 00 02 61 62 63 00 00 00 34 01 01 31 32 00 | 30ms");
  EXPECT_EQ(Run([&] { return smpp.Unbind(), Join(smpp.ConnectedAndBound, socket.State()); }),
            "0 0 | >Unbind, UnBound, <UNBIND_RESP | 6:5 | 10ms");
  AnswerLikeAnSmsc(/*bind_status=*/0x0D);
  EXPECT_EQ(
      Run([&] { return Bind(kTx); }),
      "0 0 7 | >Bind Transmitter, Error#27013, Error#29002, <BIND_TRANSMITTER_RESP | 2:1 | 5010ms");
  AnswerLikeAnSmsc();
  smpp.OperationsTimeout(2);
  EXPECT_EQ(Run([&] { return Bind(static_cast<BindTypes>(4)); }),
            "0 0 7 | >Unbind, UnBound, <UNBIND_RESP, Error#20390 | 6:6 | 2020ms");
  socket.AcceptConnect();
  BindAs(kTRx);
  socket.AnswerWith(nullptr);
  smpp.OperationsTimeout(3);
  EXPECT_EQ(Run([&] { return smpp.Unbind(), Join(smpp.ConnectedAndBound, socket.State()); }),
            "0 0 | >Unbind | 6:8 | 3000ms");
}

// Each takes the next sequence number; a waited query ends on its answer;
// cancel needs only an open connection.
TEST_F(RequestsTest, QueryAndCancelTakeTheNextSequenceNumber) {
  smpp.OperationsTimeout(10);
  message.MessageID = "MSG4";
  BindAs(kTx);
  AnswerLikeAnSmsc(0, seconds(2));
  EXPECT_EQ(Run([&] { return Query(true); }),
            "1 4 2 0 1 MSG4 | MessageStatusReceived | 3:4 | 2000ms");
  // Without its own answer a waited query copies the last result: silence,
  // another request's answer, or a refusal of this very query.
  NeverAnswer();
  message.MessageID = "MSG9";
  message.DeliveryStatus = MessageStates::Expired;
  EXPECT_EQ(Run([&] { return Query(true); }), "1 5 2 0 1  |  | 3:5 | 10000ms");
  message.DeliveryStatus = MessageStates::Expired;
  environment.At(seconds(3), [&] { socket.Receive(MakePdu(0x80000004, 0, 77, {'7', 0})); });
  EXPECT_EQ(Run([&] { return Query(true); }), "1 6 2 0 1 7 | MessageDelivered | 3:6 | 10000ms");
  message.DeliveryStatus = MessageStates::Expired;
  Answer(0x80000003, 0x0C, "", milliseconds(10));
  EXPECT_EQ(Run([&] { return Query(true); }), "1 7 2 0 1  | Error#27012, Error#29003 | 3:7 | 10ms");
  BindAs(kRx);
  smpp.EnableTraceMessages(true);
  EXPECT_EQ(Run([&] {
              smpp.CancelMessage(message);
              environment.Advance(milliseconds(10));
              return Join(message.SequenceNumber, events.events.at(1).message.SequenceNumber);
            }),
            "9 9 | >CANCEL_SM, MessageCancelResult, <CANCEL_SM_RESP | 8:9 | 10ms");
}

// Enquire links: none while unbound, every interval while bound. With one
// unanswered, LinkTimeout seconds of silence unbind and drop the link, not a
// millisecond before (ReconnectTest shows when).
TEST_F(RequestsTest, EnquireLinksKeepTheLinkAndSilenceEndsIt) {
  smpp.AutoEnquireLinkInterval(30);
  const auto idle = [&](int ms) {
    return Run([&] { return environment.Advance(milliseconds(ms)), std::string(); });
  };
  EXPECT_EQ(idle(45000), " |  |  | 45000ms");
  BindAs(kTx);
  EXPECT_EQ(idle(979), " |  |  | 979ms");
  EXPECT_EQ(idle(1), " |  | 15:1 | 1ms");
  EXPECT_EQ(idle(29999), " | LinkOk |  | 29999ms");
  EXPECT_EQ(idle(1), " |  | 15:1 | 1ms");
  // Anything heard in time keeps the link.
  smpp.AutoEnquireLinkInterval(0);
  BindAs(kTx);
  smpp.LinkTimeout(3);
  NeverAnswer();
  ASSERT_TRUE(smpp.EnquireLink());
  environment.At(seconds(2), [&] { socket.Receive(MakePdu(0x80000005, 0, 99)); });
  EXPECT_EQ(idle(3000), " |  |  | 3000ms");
}

TEST_F(RefusalTest, EachOperationRefusesWhatItCannotSend) {
  const auto submit = [&](MessageObject& m) { return smpp.SendMessage(m, true); };
  const auto query = [&](MessageObject& m) {
    return std::to_string(smpp.QueryMessage(m, true).IsEmpty());
  };
  const auto deliver = [&](MessageObject& m) {
    return std::to_string(smpp.DeliverShortMessage(m).IsEmpty());
  };
  const auto enquire = [&](MessageObject&) { return std::to_string(smpp.EnquireLink()); };
  // Rows: the call and "state returned LastMessageID SequenceNumber | ...",
  // the state unbound (u), receiver (r), transmitter (t), or closed with
  // the binding flag set by the host (c).
  const std::pair<std::function<std::string(MessageObject&)>, std::string> rows[] = {
      {submit, "u   77 | Error#98821 |  | 0ms"},
      {[&](MessageObject& m) { return smpp.CancelMessage(m), "-"; }, "u - old 77 |  |  | 0ms"},
      {deliver, "u 1 old 4 | Error#29983[Winsock] |  | 0ms"},
      {[&](MessageObject&) { return smpp.Unbind(), "-"; },
       "u - old 77 | Error#29983[Winsock] |  | 0ms"},
      {query, "r 1  77 | Error#98822 |  | 0ms"},
      // esm_class 328; the callback number is cut before encoding.
      {[&](MessageObject& m) {
         m.MessageType = MessageTypes::escmReplyPath;
         m.MessageMode = static_cast<MessagingModes>(200);
         m.CallbackNumber = "12345678901234567890";
         return smpp.SendMessage(m, false) + " " + m.CallbackNumber;
       },
       "t  123456789012345  77 | Error#6{@SubmitSMS} |  | 0ms"},
      {[&](MessageObject& m) { return m.ShortMessage = std::string(256, 'x'), deliver(m); },
       "t 1 old 77 | Error#6{@DeliverSM} |  | 0ms"},
      {enquire, "c 0 old 77 | Error#29983[Winsock] |  | 0ms"},
  };
  smpp.OperationsTimeout(10);
  for (const auto& [call, expected] : rows) {
    if (expected[0] == 'r') BindAs(kRx);
    if (expected[0] == 't') BindAs(kTx);
    if (expected[0] == 'c') socket.PeerClose(), smpp.ConnectedAndBound = true;
    MessageObject m;
    m.MessageID = "MSG4";
    m.DestAddress = "1234";
    m.SequenceNumber = 77;
    smpp.LastMessageID = "old";
    EXPECT_EQ(
        Run([&, &call = call] { return Join(call(m), smpp.LastMessageID, m.SequenceNumber); }),
        expected.substr(2));
  }
}

// A property's refusal reports with the environment's time; About shows
// the library's version.
TEST_F(RefusalTest, PropertiesKeepTheirOwnRulesAndReportsTheEnvironmentsTime) {
  EXPECT_EQ(Run([&] { return smpp.ReceiverAddressRange(std::string(42, '7')), std::string(); }),
            " | Error#22342{@ReceiverAddressRange[Property Let]} |  | 0ms");
  EXPECT_EQ(testing::ReportLines(events.events.at(0).text).back(),
            "Date and time :" + environment.LocalNow().ToString());
  std::string title, version;
  SetAboutHandler([&](const std::string& t, const std::string& v) { title = t, version = v; });
  smpp.AboutKVSMPP();
  SetAboutHandler(nullptr);
  EXPECT_EQ(title + " " + version, std::string("KorvaneSMPP ") + KORVANE_SMPP_VERSION_STRING);
}

// Records the waits the session hands over instead of spinning.
struct DeadlineEnvironment : testing::FakeEnvironment {
  void Yield() override { calls += "yield;"; }
  void YieldUntil(std::chrono::steady_clock::time_point deadline) override {
    calls += std::to_string((deadline - MonotonicNow()) / std::chrono::milliseconds(1)) + ";";
    Advance(std::chrono::ceil<std::chrono::milliseconds>(deadline - MonotonicNow()));
  }
  std::string calls;
};

// An idle wait gives the environment its deadline once and is over when that
// passes; a wait whose condition holds does not yield.
TEST(SessionWaitTest, AnIdleWaitHandsItsDeadlineToTheEnvironmentOnce) {
  DeadlineEnvironment environment;
  SMPP smpp(environment);
  session::Session::Of(smpp).WaitUntil(3, [] { return false; });
  session::Session::Of(smpp).WaitUntil(3, [] { return true; });
  EXPECT_EQ(environment.calls + std::to_string(environment.Elapsed().count()), "3000;3000");
}

}  // namespace
}  // namespace korvane
