// The refusals of the operations, one row each: what the call returned,
// LastMessageID and the message's SequenceNumber after it, the events, and
// that nothing was sent and no time passed. The rules of a few properties
// and the error reports; a wait that does not spin.
#include <gtest/gtest.h>

#include "api/api_fixture.hpp"
#include "diagnostics/error_record.hpp"
#include "session/session.hpp"

namespace korvane {
namespace {

using testing::Join;
using RefusalTest = testing::ApiTest;
using TimePoint = std::chrono::steady_clock::time_point;

TEST_F(RefusalTest, EachOperationRefusesWhatItCannotSend) {
  enum State { kUnbound, kReceiver, kTransmitter, kClosedButFlagged };
  const auto submit = [&](MessageObject& m) { return smpp.SendMessage(m, true); };
  const auto query = [&](MessageObject& m) {
    return std::to_string(smpp.QueryMessage(m, true).IsEmpty());
  };
  const auto deliver = [&](MessageObject& m) {
    return std::to_string(smpp.DeliverShortMessage(m).IsEmpty());
  };
  const auto enquire = [&](MessageObject&) { return std::to_string(smpp.EnquireLink()); };
  const struct {
    State state;
    std::function<std::string(MessageObject&)> call;
    const char* expected;
  } rows[] = {
      {kUnbound, submit, "  77 | Error#98821 |  | 0ms"},
      {kUnbound, query, "1  77 | Error#98821 |  | 0ms"},
      {kUnbound, [&](MessageObject& m) { return smpp.CancelMessage(m), "-"; },
       "- old 77 |  |  | 0ms"},
      {kUnbound, deliver, "1 old 4 | Error#29983[Winsock] |  | 0ms"},
      {kUnbound, enquire, "0 old 77 | Error#98821 |  | 0ms"},
      {kUnbound, [&](MessageObject&) { return smpp.Unbind(), "-"; },
       "- old 77 | Error#29983[Winsock] |  | 0ms"},
      {kReceiver, query, "1  77 | Error#98822 |  | 0ms"},
      // esm_class 328; the callback number is cut before encoding.
      {kTransmitter,
       [&](MessageObject& m) {
         m.MessageType = MessageTypes::escmReplyPath;
         m.MessageMode = static_cast<MessagingModes>(200);
         m.CallbackNumber = "12345678901234567890";
         return smpp.SendMessage(m, false) + " " + m.CallbackNumber;
       },
       " 123456789012345  77 | Error#6{@SubmitSMS} |  | 0ms"},
      {kTransmitter,
       [&](MessageObject& m) {
         m.ShortMessage = std::string(256, 'x');
         return deliver(m);
       },
       "1 old 77 | Error#6{@DeliverSM} |  | 0ms"},
      {kClosedButFlagged, enquire, "0 old 77 | Error#29983[Winsock] |  | 0ms"},
  };
  smpp.OperationsTimeout(10);
  for (const auto& row : rows) {
    if (row.state == kReceiver) BindAs(BindTypes::SmppBindAsReceiver);
    if (row.state == kTransmitter) BindAs(BindTypes::SmppBindAsTransmitter);
    if (row.state == kClosedButFlagged) {
      socket.PeerClose();
      smpp.ConnectedAndBound = true;  // a host may set it
    }
    MessageObject m;
    m.MessageID = "MSG4";
    m.DestAddress = "1234";
    m.SequenceNumber = 77;
    smpp.LastMessageID = "old";
    EXPECT_EQ(Run([&] { return Join(row.call(m), smpp.LastMessageID, m.SequenceNumber); }),
              row.expected);
  }
}

class PropertiesTest : public testing::ApiTest {};

// SystemID and UserName are one field; ReceiverAddressRange refuses more
// than 41 characters with a report carrying the environment's time.
TEST_F(PropertiesTest, PropertiesKeepTheirOwnRulesAndReportsTheEnvironmentsTime) {
  SMPP other(environment);
  EXPECT_EQ(Run([&] {
              smpp.UserName("alpha");
              smpp.ReceiverAddressRange(std::string(41, '7'));
              smpp.ReceiverAddressRange(std::string(42, '7'));
              return Join(smpp.SystemID(), smpp.ReceiverAddressRange().size(),
                          smpp.InstanceID != other.InstanceID);
            }),
            "alpha 41 1 | Error#22342{@ReceiverAddressRange[Property Let]} |  | 0ms");
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
  void YieldUntil(TimePoint deadline) override {
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
