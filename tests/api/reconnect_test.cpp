// Dead-link detection and the automatic rebind on the fake environment: the
// exact virtual times of the back-off, the events in order, the bind PDU,
// and the asynchronous submissions across a rebind.
#include <gtest/gtest.h>

#include <algorithm>
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
    start_ = environment.Elapsed().count();
    // Each event with the virtual time it came at, from the end of the bind.
    events.on_event = [this](const testing::RecordedEvent& event) {
      if (event.name != "TraceLog" && event.name != "DebugLog")
        timeline += (timeline.empty() ? "" : ", ") + event.name + "#" +
                    std::to_string(event.number) + "@" + std::to_string(Now());
    };
  }
  // The session's destruction still raises events, after this part is gone.
  ~ReconnectTest() override { events.on_event = nullptr; }
  void Jitter(double value) {
    session::Session::Of(smpp).reconnector().UseJitter([value] { return value; });
  }
  int64_t Now() const { return environment.Elapsed().count() - start_; }
  // Only the bind requests are answered (with `bind_status`).
  void AnswerBindsOnly(uint32_t bind_status = 0) {
    socket.AnswerWith([bind_status](const std::vector<uint8_t>& sent) {
      std::vector<uint8_t> answer;
      if (sent[7] == 0x01 || sent[7] == 0x02 || sent[7] == 0x09)
        answer = testing::LoopbackSmsc::DefaultAnswer(sent, bind_status).front();
      return answer;
    });
  }
  std::string timeline;
  int64_t start_ = 0;
};

TEST_F(ReconnectTest, DefaultsLeaveBothOff) {
  testing::FakeEnvironment other_environment;
  SMPP fresh(other_environment);
  EXPECT_EQ(Join(fresh.AutoReconnect(), fresh.ReconnectInitialDelayMs(),
                 fresh.ReconnectMaxDelayMs(), fresh.LinkTimeout()),
            "0 1000 60000 0");
}

TEST_F(ReconnectTest, DelayDoublesUpToTheMostWithJitter) {
  struct Row {
    int32_t initial, most, attempt;
    double jitter;
    int32_t delay;
  };
  const Row rows[] = {
      {1000, 60000, 1, 0.0, 1000},   {1000, 60000, 2, 0.0, 2000},  {1000, 60000, 3, 1.0, 4800},
      {1000, 60000, 3, -1.0, 3200},  {1000, 60000, 3, 0.5, 4400},  {1000, 60000, 7, 0.0, 60000},
      {1000, 60000, 7, -1.0, 48000}, {1000, 60000, 7, 1.0, 60000}, {1000, 60000, 99, 0.0, 60000},
      {1000, 60000, 2, 7.0, 2400},   {0, 60000, 1, 0.0, 1},        {5000, 2000, 1, 0.0, 2000},
  };
  session::Reconnector& reconnector = session::Session::Of(smpp).reconnector();
  for (const Row& row : rows) {
    smpp.ReconnectInitialDelayMs(row.initial);
    smpp.ReconnectMaxDelayMs(row.most);
    Jitter(row.jitter);
    EXPECT_EQ(reconnector.DelayBefore(row.attempt), row.delay)
        << row.initial << " " << row.most << " " << row.attempt << " " << row.jitter;
  }
}

TEST_F(ReconnectTest, LostConnectionsStartARebindOnlyWhenBoundAndOn) {
  struct Row {
    const char* loss;
    bool auto_reconnect;
    const char* events;
  };
  const Row rows[] = {
      {"peer close", true, "ConnectionClosed, Reconnecting#1{1000}"},
      {"peer close", false, "ConnectionClosed"},
      {"reset", true,
       "Error#10054[Winsock]{Connection reset by peer}, ConnectionClosed, Reconnecting#1{1000}"},
      // The SMSC's own unbind ends the binding on purpose.
      {"smsc unbind", true, "Error#29006{Invalid Data in UnBind Segment}, ConnectionClosed"},
  };
  for (const Row& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.AutoReconnect(row.auto_reconnect);
    const std::string loss = row.loss;
    if (loss == "peer close") {
      socket.PeerClose();
    } else if (loss == "reset") {
      socket.Fail(10054, "Connection reset by peer");
    } else {
      socket.Receive(testing::MakePdu(0x00000006, 0, 7, {}));
      socket.PeerClose();
    }
    EXPECT_EQ(events.Summary(), row.events) << row.loss;
    smpp.Unbind();  // stops what started
  }
}

TEST_F(ReconnectTest, BacksOffOnRefusedConnectsAndResetsAfterSuccess) {
  smpp.ReconnectMaxDelayMs(5000);
  socket.RefuseConnect();
  socket.PeerClose();
  environment.Advance(milliseconds(17000));
  // Attempt N fails 10 ms after its start, when the socket is looked at.
  EXPECT_EQ(events.Summary(),
            "ConnectionClosed, Reconnecting#1{1000}, Error#10061[Winsock]{Connection refused}, "
            "ReconnectFailed#1{could not connect}, Reconnecting#2{2000}, "
            "Error#10061[Winsock]{Connection refused}, ReconnectFailed#2{could not connect}, "
            "Reconnecting#3{4000}, Error#10061[Winsock]{Connection refused}, "
            "ReconnectFailed#3{could not connect}, Reconnecting#4{5000}, "
            "Error#10061[Winsock]{Connection refused}, ReconnectFailed#4{could not connect}, "
            "Reconnecting#5{5000}");
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@0, Reconnecting#1@0, Error#10061@1000, ReconnectFailed#1@1010, "
            "Reconnecting#2@1010, Error#10061@3010, ReconnectFailed#2@3020, Reconnecting#3@3020, "
            "Error#10061@7020, ReconnectFailed#3@7030, Reconnecting#4@7030, Error#10061@12030, "
            "ReconnectFailed#4@12040, Reconnecting#5@12040");
  // Attempt 5 connects and binds: 10 ms to see the connection, 10 ms for the
  // answer.
  socket.AcceptConnect();
  AnswerLikeAnSmsc();
  timeline.clear();
  environment.Advance(milliseconds(5000));
  EXPECT_EQ(timeline, "Bound#0@17060, Reconnected#5@17060");
  EXPECT_EQ(smpp.ConnectedAndBound, true);
  // The next loss starts from the first delay again.
  events.events.clear();
  socket.PeerClose();
  EXPECT_EQ(events.Summary(), "ConnectionClosed, Reconnecting#1{1000}");
}

TEST_F(ReconnectTest, RebindSendsTheSameBindPduAndEndsAnAttemptOnAnErrorBindResp) {
  const std::vector<uint8_t> first_bind = socket.Sent().front();
  EXPECT_EQ(testing::HexText(first_bind),
            "00 00 00 1C 00 00 00 02 00 00 00 00 00 00 00 01 61 62 63 00 70 77 00 00 33 01 01 00");
  AnswerLikeAnSmsc(0x0000000D);
  socket.PeerClose();
  const std::size_t before = socket.Sent().size();
  environment.Advance(milliseconds(1020));
  ASSERT_EQ(socket.Sent().size(), before + 1);
  EXPECT_EQ(socket.Sent().back(), first_bind);
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@0, Reconnecting#1@0, Error#27013@1020, Error#29002@1020, "
            "ReconnectFailed#1@1020, Reconnecting#2@1020");
  EXPECT_EQ(events.Named("ReconnectFailed").front().text, "bind refused with status 0x0000000D");
  EXPECT_EQ(socket.State(), platform::kSocketClosed);
  AnswerLikeAnSmsc();
  environment.Advance(milliseconds(2020));
  EXPECT_EQ(socket.Sent().back(), first_bind);
  EXPECT_EQ(events.Named("Reconnected").size(), 1u);
}

TEST_F(ReconnectTest, NoBindResponseOrAConnectThatHangsEndsTheAttemptInTime) {
  smpp.OperationsTimeout(3);
  smpp.ConnectionTimeout(2);
  AnswerBindsOnly();
  NeverAnswer();
  socket.PeerClose();
  environment.Advance(milliseconds(1010 + 3000));
  socket.NeverAnswerConnect();
  environment.Advance(milliseconds(2000 + 2020));
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@0, Reconnecting#1@0, ReconnectFailed#1@4010, "
            "Reconnecting#2@4010, ReconnectFailed#2@8020, Reconnecting#3@8020");
  EXPECT_EQ(
      Join(events.Named("ReconnectFailed")[0].text, "|", events.Named("ReconnectFailed")[1].text),
      "no bind response in time | connect timed out");
}

TEST_F(ReconnectTest, QueuedSubmissionsGoOutOnceAfterTheRebindAndSentOnesAreLost) {
  smpp.MaxOutstanding(2);
  AnswerBindsOnly();
  std::vector<std::string> completed;
  const auto submit = [&](const std::string& destination) {
    message.DestAddress = destination;
    return smpp.SubmitAsync(message, [&completed, destination](const SubmitResult& result) {
      completed.push_back(destination + ":" + std::to_string(static_cast<int>(result.Outcome)) +
                          ":" + result.ErrorText);
    });
  };
  for (const char* destination : {"1", "2", "3", "4"}) ASSERT_TRUE(submit(destination));
  socket.PeerClose();
  // One more while rebinding joins the queue.
  EXPECT_TRUE(submit("5"));
  AnswerLikeAnSmsc();
  environment.Advance(milliseconds(2000));
  // Outcomes: 0 Accepted, 3 ConnectionLost.
  std::sort(completed.begin(), completed.begin() + 2);
  EXPECT_EQ(Join(completed.size(), completed[0], completed[1]),
            "5 1:3:connection lost, outcome unknown 2:3:connection lost, outcome unknown");
  EXPECT_EQ(Join(completed[2], completed[3], completed[4]), "3:0: 4:0: 5:0:");
  std::vector<std::string> destinations;
  for (const auto& pdu : socket.Sent())
    if (pdu[7] == 0x04) destinations.emplace_back(pdu.begin() + 22, pdu.begin() + 23);
  EXPECT_EQ(Join(destinations.size(), destinations[0], destinations[1], destinations[2],
                 destinations[3], destinations[4]),
            "5 1 2 3 4 5");
}

TEST_F(ReconnectTest, HostUnbindOrBindStopsTheRebindingInEveryPhase) {
  struct Row {
    int32_t stop_at_ms;  // after the loss
    bool by_bind;
    const char* phase;
  };
  const Row rows[] = {{500, false, "waiting"},
                      {1005, false, "connecting"},
                      {1015, false, "binding"},
                      {500, true, "waiting"}};
  for (const Row& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.MaxOutstanding(1);
    socket.AcceptConnect(milliseconds(row.stop_at_ms == 1005 ? 50 : 0));
    AnswerBindsOnly();
    std::vector<int> outcomes;
    for (int n = 0; n < 2; ++n)
      smpp.SubmitAsync(
          message, [&](const SubmitResult& r) { outcomes.push_back(static_cast<int>(r.Outcome)); });
    socket.PeerClose();
    environment.Advance(milliseconds(row.stop_at_ms));
    if (row.by_bind) {
      AnswerLikeAnSmsc();
      EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsReceiver), 1) << row.phase;
    } else {
      smpp.Unbind();
    }
    // Sent -> ConnectionLost (3), queued -> NotSent (4), at once.
    EXPECT_EQ(Join(outcomes[0], outcomes[1]), "3 4") << row.phase;
    events.events.clear();
    environment.Advance(milliseconds(600000));
    EXPECT_TRUE(events.Named("Reconnecting").empty()) << row.phase;
    EXPECT_TRUE(events.Named("Bound").empty()) << row.phase;
    EXPECT_EQ(smpp.ConnectedAndBound, row.by_bind) << row.phase;
  }
}

TEST_F(ReconnectTest, DestroyingTheSessionWhileRebindingCompletesQueuedOnesNotSent) {
  testing::FakeEnvironment other_environment;
  std::vector<int> outcomes;
  {
    SMPP other(other_environment);
    testing::ScriptedSocket& other_socket = *other_environment.LastSocket();
    other.SMPPServerAddress("smsc.test");
    other.AutoReconnect(true);
    session::Session::Of(other).reconnector().UseJitter([] { return 0.0; });
    other_socket.AnswerWith([](const std::vector<uint8_t>& sent) {
      return sent[7] == 0x02 ? testing::LoopbackSmsc::DefaultAnswer(sent, 0).front()
                             : std::vector<uint8_t>{};
    });
    ASSERT_EQ(other.Bind(BindTypes::SmppBindAsTransmitter), 2);
    other.MaxOutstanding(1);
    for (int n = 0; n < 2; ++n)
      other.SubmitAsync(
          message, [&](const SubmitResult& r) { outcomes.push_back(static_cast<int>(r.Outcome)); });
    other_socket.PeerClose();
    other_environment.Advance(milliseconds(1005));
  }
  EXPECT_EQ(Join(outcomes.size(), outcomes[0], outcomes[1]), "2 3 4");
  other_environment.Advance(milliseconds(600000));  // nothing left to run
}

TEST_F(ReconnectTest, DeadLinkDropsTheConnectionAfterLinkTimeoutAndNotBefore) {
  smpp.AutoReconnect(false);
  struct Row {
    int16_t link_timeout;
    int32_t heard_at_ms;  // something arrives then; 0: nothing
    bool dropped;
  };
  const Row rows[] = {{3, 0, true}, {0, 0, false}, {3, 2000, false}};
  for (const Row& row : rows) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    smpp.LinkTimeout(row.link_timeout);
    NeverAnswer();
    ASSERT_TRUE(smpp.EnquireLink());
    if (row.heard_at_ms > 0) {
      environment.Advance(milliseconds(row.heard_at_ms));
      socket.Receive(testing::MakePdu(0x80000015, 0, 1, {}));
      environment.Advance(milliseconds(2999 - row.heard_at_ms));
    } else {
      environment.Advance(milliseconds(2999));
    }
    EXPECT_TRUE(smpp.ConnectedAndBound) << row.link_timeout;
    events.events.clear();
    const std::size_t before = socket.Sent().size();
    environment.Advance(milliseconds(1));
    EXPECT_EQ(events.Summary(), row.dropped ? "ConnectionClosed" : "") << row.link_timeout;
    EXPECT_EQ(socket.Sent().size() - before, row.dropped ? 1u : 0u);
    if (row.dropped) {
      EXPECT_EQ(testing::HexText(socket.Sent().back()).substr(0, 35),
                "00 00 00 10 00 00 00 06 00 00 00 00");
      EXPECT_EQ(socket.State(), platform::kSocketClosed);
    }
    smpp.LinkTimeout(0);
  }
}

TEST_F(ReconnectTest, AutomaticEnquireLinkOnADeadLinkLeadsToARebind) {
  smpp.LinkTimeout(5);
  smpp.AutoEnquireLinkInterval(2);
  AnswerBindsOnly();
  environment.Advance(milliseconds(10000));
  AnswerLikeAnSmsc();
  environment.Advance(milliseconds(1100));
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@8000, Reconnecting#1@8000, Bound#0@9020, Reconnected#1@9020");
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
