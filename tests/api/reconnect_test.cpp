// Dead-link detection and the automatic rebind on the fake environment: the
// exact virtual times of the back-off, the events in order, the bind PDU,
// and the asynchronous submissions across a rebind.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "api/api_fixture.hpp"
#include "session/session.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using testing::Join;

class ReconnectTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.SystemID("abc");
    smpp.Password(Variant("pw"));
    smpp.AutoReconnect(true);
    Jitter(0.0);
    BindAs(BindTypes::SmppBindAsTransmitter);
    // Each event as "name#number{text}@ms", the time from Restart.
    Restart();
    events.on_event = [this](const testing::RecordedEvent& event) {
      if (event.name == "TraceLog" || event.name == "DebugLog") return;
      const bool texted = event.name != "Error" && !event.text.empty();
      timeline += (timeline.empty() ? "" : ", ") + event.name + "#" + std::to_string(event.number) +
                  (texted ? "{" + event.text + "}" : "") + "@" +
                  std::to_string((environment.Elapsed() - start).count());
    };
  }
  void Restart() {
    timeline.clear();
    start = environment.Elapsed();
  }
  // The session's destruction still raises events, after this part is gone.
  ~ReconnectTest() override { events.on_event = nullptr; }
  void Jitter(double value) {
    session::Session::Of(smpp).reconnector().UseJitter([value] { return value; });
  }
  // Only the bind requests are answered (with `bind_status`).
  void AnswerBindsOnly(uint32_t bind_status = 0) {
    socket.AnswerWith([bind_status](const std::vector<uint8_t>& sent) {
      return sent[7] == 0x01 || sent[7] == 0x02 || sent[7] == 0x09
                 ? testing::LoopbackSmsc::DefaultAnswer(sent, bind_status).front()
                 : std::vector<uint8_t>{};
    });
  }
  // Submits `count` messages to "1", "2", ..., noting each outcome as
  // "destination:outcome error text".
  void SubmitSome(int count) {
    for (int n = 0; n < count; ++n) {
      message.DestAddress = std::to_string(++submitted);
      smpp.SubmitAsync(message, [this, dest = message.DestAddress](const SubmitResult& r) {
        outcomes += dest + ":" + std::to_string(static_cast<int>(r.Outcome)) + r.ErrorText + " ";
      });
    }
  }
  int submitted = 0;
  std::string timeline, outcomes;
  std::chrono::milliseconds start{};
};

TEST_F(ReconnectTest, DelayDoublesUpToTheMostWithJitter) {
  const struct {
    int32_t initial, most, attempt;
    double jitter;
    int32_t delay;
  } rows[] = {{1000, 60000, 1, 0, 1000},   {1000, 60000, 3, 1, 4800},  {1000, 60000, 3, -1, 3200},
              {1000, 60000, 7, -1, 48000}, {1000, 60000, 7, 1, 60000}, {1000, 60000, 99, 0, 60000},
              {1000, 60000, 2, 7, 2400},   {0, 60000, 1, 0, 1},        {5000, 2000, 1, 0, 2000}};
  for (const auto& row : rows) {
    smpp.ReconnectInitialDelayMs(row.initial);
    smpp.ReconnectMaxDelayMs(row.most);
    Jitter(row.jitter);
    EXPECT_EQ(session::Session::Of(smpp).reconnector().DelayBefore(row.attempt), row.delay)
        << row.initial << " " << row.most << " " << row.attempt << " " << row.jitter;
  }
}

TEST_F(ReconnectTest, LostConnectionsStartARebindOnlyWhenBoundAndOn) {
  const struct {
    const char* loss;
    bool auto_reconnect;
    const char* events;
  } rows[] = {
      {"close", true, "ConnectionClosed, Reconnecting#1{1000}"},
      {"close", false, "ConnectionClosed"},
      {"reset", true,
       "Error#10054[Winsock]{Connection reset by peer}, ConnectionClosed, Reconnecting#1{1000}"},
      // The SMSC's own unbind ends the binding on purpose.
      {"unbind", true, "Error#29006{Invalid Data in UnBind Segment}, ConnectionClosed"},
  };
  for (const auto& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.AutoReconnect(row.auto_reconnect);
    if (row.loss == std::string("reset")) socket.Fail(10054, "Connection reset by peer");
    if (row.loss == std::string("unbind")) socket.Receive(testing::MakePdu(0x00000006, 0, 7, {}));
    if (row.loss != std::string("reset")) socket.PeerClose();
    EXPECT_EQ(events.Summary(), row.events) << row.loss;
    smpp.Unbind();  // stops what started
  }
}

// Each way an attempt fails ends it, closes its socket, and the next is due
// after the doubled delay.
TEST_F(ReconnectTest, EachFailedAttemptIsReportedAndTheNextFollows) {
  smpp.OperationsTimeout(3);
  smpp.ConnectionTimeout(2);
  const struct {
    const char* failure;
    int32_t fails_at_ms;
    const char* timeline;  // after "ConnectionClosed#0@0, Reconnecting#1{1000}@0, "
  } rows[] = {
      {"no answer", 3010, "ReconnectFailed#1{connect timed out}@3010, Reconnecting#2{2000}@3010"},
      {"bind refused", 1020,
       "Error#27013@1020, Error#29002@1020, ReconnectFailed#1{bind refused with status "
       "0x0000000D}@1020, Reconnecting#2{2000}@1020"},
      {"no bind_resp", 4010,
       "ReconnectFailed#1{no bind response in time}@4010, Reconnecting#2{2000}@4010"},
  };
  for (const auto& row : rows) {
    socket.AcceptConnect();
    BindAs(BindTypes::SmppBindAsTransmitter);
    const std::string failure = row.failure;
    if (failure == "no answer") socket.NeverAnswerConnect();
    AnswerBindsOnly(failure == "bind refused" ? 0x0000000D : 0);
    if (failure == "no bind_resp") NeverAnswer();
    Restart();
    socket.PeerClose();
    environment.Advance(milliseconds(row.fails_at_ms));
    EXPECT_EQ(timeline,
              "ConnectionClosed#0@0, Reconnecting#1{1000}@0, " + std::string(row.timeline));
    EXPECT_EQ(socket.State(), platform::kSocketClosed) << failure;
    smpp.Unbind();
  }
}

// Enquire links unanswered for LinkTimeout drop the link at 8 s; attempts 1
// and 2 are refused, 3 sends the same bind PDU and binds; the next loss
// starts from the first delay again.
TEST_F(ReconnectTest, ADeadLinkLeadsToRebindsBackingOffUpToTheMost) {
  const std::vector<uint8_t> first_bind = socket.Sent().front();
  EXPECT_EQ(testing::HexText(first_bind),
            "00 00 00 1C 00 00 00 02 00 00 00 00 00 00 00 01 61 62 63 00 70 77 00 00 33 01 01 00");
  smpp.ReconnectMaxDelayMs(1500);
  smpp.LinkTimeout(5);
  smpp.AutoEnquireLinkInterval(2);
  AnswerBindsOnly();
  socket.RefuseConnect();
  environment.Advance(milliseconds(11000));
  socket.AcceptConnect();
  AnswerLikeAnSmsc();
  environment.Advance(milliseconds(1040));
  EXPECT_EQ(socket.Sent().back(), first_bind);
  environment.Advance(milliseconds(960));
  socket.PeerClose();
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@8000, Reconnecting#1{1000}@8000, Error#10061@9000, "
            "ReconnectFailed#1{could not connect}@9010, Reconnecting#2{1500}@9010, "
            "Error#10061@10510, ReconnectFailed#2{could not connect}@10520, "
            "Reconnecting#3{1500}@10520, Bound#0@12040, Reconnected#3@12040, "
            "ConnectionClosed#0@13000, Reconnecting#1{1000}@13000");
}

TEST_F(ReconnectTest, QueuedSubmissionsGoOutOnceAfterTheRebindAndSentOnesAreLost) {
  smpp.MaxOutstanding(1);
  AnswerBindsOnly();
  SubmitSome(4);
  socket.PeerClose();
  SubmitSome(1);  // while rebinding, joins the queue
  AnswerLikeAnSmsc();
  environment.Advance(milliseconds(2000));
  // Outcomes: 0 Accepted, 3 ConnectionLost.
  EXPECT_EQ(outcomes, "1:3connection lost, outcome unknown 2:0 3:0 4:0 5:0 ");
  std::string destinations;
  for (const auto& pdu : socket.Sent())
    if (pdu[7] == 0x04) destinations += std::string(pdu.begin() + 22, pdu.begin() + 24);
  EXPECT_EQ(destinations, std::string("1\0002\0003\0004\0005\000", 10));
}

// Sent ones end ConnectionLost (3), queued ones NotSent (4), at once, and
// nothing is tried again.
TEST_F(ReconnectTest, HostUnbindOrBindStopsTheRebindingInEveryPhase) {
  const struct {
    int32_t stop_at_ms;  // after the loss: waiting, connecting, binding
    bool by_bind;
  } rows[] = {{500, false}, {1005, false}, {1015, false}, {500, true}};
  for (const auto& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.MaxOutstanding(1);
    socket.AcceptConnect(milliseconds(row.stop_at_ms == 1005 ? 50 : 0));
    AnswerBindsOnly();
    outcomes.clear();
    submitted = 0;
    SubmitSome(2);
    socket.PeerClose();
    environment.Advance(milliseconds(row.stop_at_ms));
    AnswerLikeAnSmsc();
    if (row.by_bind) {
      EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsReceiver), 1);
    } else {
      smpp.Unbind();
    }
    EXPECT_EQ(outcomes, "1:3connection lost, outcome unknown 2:4not sent ") << row.stop_at_ms;
    events.events.clear();
    environment.Advance(milliseconds(600000));
    EXPECT_EQ(events.Named("Reconnecting").size() + events.Named("Bound").size(), 0u);
    EXPECT_EQ(smpp.ConnectedAndBound, row.by_bind) << row.stop_at_ms;
  }
}

TEST_F(ReconnectTest, DestroyingTheSessionWhileRebindingCompletesQueuedOnesNotSent) {
  testing::FakeEnvironment other_environment;
  std::string other_outcomes;
  {
    SMPP other(other_environment);
    other.SMPPServerAddress("smsc.test");
    other.AutoReconnect(true);
    session::Session::Of(other).reconnector().UseJitter([] { return 0.0; });
    other_environment.LastSocket()->AnswerWith([](const std::vector<uint8_t>& sent) {
      return testing::LoopbackSmsc::DefaultAnswer(sent, 0).front();
    });
    ASSERT_EQ(other.Bind(BindTypes::SmppBindAsTransmitter), 2);
    other_environment.LastSocket()->AnswerWith({});
    other.MaxOutstanding(1);
    for (int n = 0; n < 2; ++n)
      other.SubmitAsync(message, [&](const SubmitResult& r) {
        other_outcomes += std::to_string(static_cast<int>(r.Outcome)) + " ";
      });
    other_environment.LastSocket()->PeerClose();
    other_environment.Advance(milliseconds(1005));  // connecting
  }
  EXPECT_EQ(other_outcomes, "3 4 ");
  other_environment.Advance(milliseconds(600000));  // nothing left to run
}

// Nothing heard for LinkTimeout seconds (an enquire_link unanswered): unbind
// and drop; anything heard restarts the count.
TEST_F(ReconnectTest, DeadLinkDropsTheConnectionAfterLinkTimeoutAndNotBefore) {
  smpp.AutoReconnect(false);
  const struct {
    int16_t link_timeout;
    int32_t heard_at_ms;           // something arrives then; 0: nothing
    const char* last_millisecond;  // events | PDUs sent
  } rows[] = {{3, 0, "ConnectionClosed | 6:5"}, {0, 0, " | "}, {3, 2000, " | "}};
  for (const auto& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.LinkTimeout(row.link_timeout);
    NeverAnswer();
    ASSERT_TRUE(smpp.EnquireLink());
    if (row.heard_at_ms > 0)
      environment.At(milliseconds(row.heard_at_ms),
                     [&] { socket.Receive(testing::MakePdu(0x80000015, 0, 1, {})); });
    environment.Advance(milliseconds(2999));
    EXPECT_TRUE(smpp.ConnectedAndBound) << row.link_timeout;
    EXPECT_EQ(Run([&] {
                environment.Advance(milliseconds(1));
                return std::string();
              }),
              std::string(" | ") + row.last_millisecond + " | 1ms")
        << row.link_timeout;
    smpp.LinkTimeout(0);
  }
}

TEST_F(ReconnectTest, WaitsEndWhenTheConnectionIsLost) {
  smpp.AutoReconnect(false);
  NeverAnswer();
  environment.At(milliseconds(100), [&] { socket.PeerClose(); });
  EXPECT_EQ(Run([&] { return smpp.SendMessage(message, true); }),
            " | ConnectionClosed | 4:4 | 100ms");
  environment.At(milliseconds(100), [&] { socket.PeerClose(); });
  EXPECT_EQ(Run([&] { return std::to_string(smpp.Bind(BindTypes::SmppBindAsTransmitter)); }),
            "0 | ConnectionClosed | 2:1 | 100ms");
}

}  // namespace
}  // namespace korvane
