// The connection under the session: broken lengths and failures; dead-link
// detection and the automatic rebind in virtual time: the back-off, the
// events in order, the bind PDU, the submissions across a rebind, and what
// stopping or destroying the session does to them.

#include <array>

#include "api/api_fixture.hpp"

namespace korvane {
namespace {

class ReconnectTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.AutoReconnect(true);
    session::Session::Of(smpp).reconnector().UseJitter([] { return 0.0; });
    BindAs(kTx);
  }
  // The session's destruction still raises events, after this part is gone.
  ~ReconnectTest() override { events.on_event = nullptr; }
  // Submits `count` messages to "1", "2", ..., noting each outcome as
  // "destination:outcome".
  void SubmitSome(SMPP& session, int count) {
    for (int n = 0; n < count; ++n) {
      message.DestAddress = std::to_string(++submitted);
      session.SubmitAsync(message, [this, dest = message.DestAddress](const SubmitResult& r) {
        outcomes += dest + ":" + std::to_string(static_cast<int>(r.Outcome)) + " ";
      });
    }
  }
  int submitted = 0;
  std::string outcomes;
};

// Rows: initial, most, attempt, jitter, delay.
TEST_F(ReconnectTest, DelayDoublesUpToTheMostWithJitter) {
  for (const auto& [initial, most, attempt, jitter, delay] : {std::array{1000, 60000, 3, 1, 4800},
                                                              {1000, 60000, 7, 1, 60000},
                                                              {1000, 60000, 2, 7, 2400},
                                                              {0, 60000, 1, 0, 1},
                                                              {5000, 2000, 1, 0, 2000}}) {
    smpp.ReconnectInitialDelayMs(initial);
    smpp.ReconnectMaxDelayMs(most);
    session::Session::Of(smpp).reconnector().UseJitter([j = jitter] { return j; });
    EXPECT_EQ(session::Session::Of(smpp).reconnector().DelayBefore(attempt), delay) << attempt;
  }
}

// Enquire links unanswered for LinkTimeout drop the link at 8 s, not a
// millisecond before. Each way an attempt fails ends it, and the next is due
// after the doubled delay, up to the most: 1 refused, 2 never accepted, 3 a
// bind refused, 4 no bind_resp; 5 sends the same bind PDU and binds; the next
// loss starts from the first delay again.
TEST_F(ReconnectTest, ADeadLinkLeadsToRebindsBackingOffUpToTheMost) {
  const std::vector<uint8_t> first_bind = socket.Sent().front();
  smpp.ReconnectMaxDelayMs(1500);
  smpp.LinkTimeout(5);
  smpp.AutoEnquireLinkInterval(2);
  smpp.OperationsTimeout(3);
  smpp.ConnectionTimeout(2);
  socket.AnswerWith(LikeAnSmsc(0, true));
  socket.RefuseConnect();
  // Each event but logs as "name#number{text}@ms"; each attempt as scripted.
  std::string timeline;
  events.on_event = [&, start = environment.Elapsed()](const testing::RecordedEvent& e) {
    const std::string text = e.name != "Error" && !e.text.empty() ? "{" + e.text + "}" : "";
    if (!e.name.ends_with("Log"))
      timeline += (timeline.empty() ? "" : ", ") + e.name + "#" + std::to_string(e.number) + text +
                  "@" + std::to_string((environment.Elapsed() - start).count());
    if (e.name != "Reconnecting") return;
    if (e.number == 2) socket.NeverAnswerConnect(), smpp.AutoEnquireLinkInterval(0);
    if (e.number == 3) socket.AcceptConnect(), socket.AnswerWith(LikeAnSmsc(0x0D, true));
    if (e.number == 4) NeverAnswer();
    if (e.number == 5) AnswerLikeAnSmsc();
  };
  environment.Advance(milliseconds(21000));
  socket.PeerClose();
  EXPECT_EQ(std::ranges::count(socket.Sent(), first_bind), 4);
  EXPECT_EQ(timeline,
            "ConnectionClosed#0@8000, Reconnecting#1{1000}@8000, Error#10061@9000, "
            "ReconnectFailed#1{could not connect}@9010, Reconnecting#2{1500}@9010, "
            "ReconnectFailed#2{connect timed out}@12520, Reconnecting#3{1500}@12520, "
            "Error#27013@14040, Error#29002@14040, ReconnectFailed#3{bind refused with status "
            "0x0000000D}@14040, Reconnecting#4{1500}@14040, ReconnectFailed#4{no bind response in "
            "time}@18550, Reconnecting#5{1500}@18550, Bound#0@20070, Reconnected#5@20070, "
            "ConnectionClosed#0@21000, Reconnecting#1{1000}@21000");
}

// A loss ends the binding and closes the socket; it starts a rebind while
// AutoReconnect is on, and not while off; the SMSC's own unbind never does.
// A broken length is reported and closes the connection; an aborted
// connection warns, another failure is an error. (Binding again from inside
// the handlers: tests/faults.)
TEST_F(ReconnectTest, LossesEndTheBindingAndStartARebindOnlyWhileOn) {
  socket.Fail(10054, "Connection reset by peer");
  EXPECT_EQ(events.Summary(false), "Error#10054[Winsock], ConnectionClosed, Reconnecting#1{1000}");
  smpp.Unbind();  // stops the rebind
  BindAs(kTx);
  socket.Receive(MakePdu(6, 0, 7));
  socket.PeerClose();
  EXPECT_EQ(events.Summary(false), "Error#29006, ConnectionClosed");
  smpp.AutoReconnect(false);
  BindAs(kTRx);
  std::vector<uint8_t> stream = MakePdu(0x80000015, 0, 1);
  stream.insert(stream.end(), {0, 0, 0, 0, 0x80, 0, 0, 0x15});
  socket.Receive(stream);
  EXPECT_EQ(Join(events.Summary(), smpp.ConnectedAndBound, socket.State()),
            "LinkOk, Error#29984{Invalid command_length 0 received (allowed 16 to 262144). "
            "Connection closed}, ConnectionClosed 0 0");
  BindAs(kTRx);
  socket.Fail(10053, "aborted");
  EXPECT_EQ(Join(events.Summary(false), smpp.ConnectedAndBound, socket.State()),
            "ConnectionClosed, Warning#10053[Winsock] 0 0");
}

// Sent ones end ConnectionLost (3) at once. Queued ones, and one made while
// rebinding, go out once, in order, after the rebind; when the host's Unbind
// or Bind stops the rebinding (while waiting, connecting or binding) they
// end NotSent (4) at once, and nothing is tried again. Each row: outcomes at
// once | outcomes | submissions sent | binding flag.
TEST_F(ReconnectTest, QueuedSubmissionsGoOutAfterTheRebindUnlessTheHostStopsIt) {
  smpp.MaxOutstanding(1);
  for (const auto& [stop_at_ms, by_bind, expected] :
       {std::tuple{0, false, "1:3 | 1:3 2:0 3:0 | 1 2 3 | 1"},
        {500, false, "1:3 2:4 3:4 | 1:3 2:4 3:4 | 1 | 0"},
        {1005, false, "1:3 2:4 3:4 | 1:3 2:4 3:4 | 1 | 0"},
        {1015, false, "1:3 2:4 3:4 | 1:3 2:4 3:4 | 1 | 0"},
        {500, true, "1:3 2:4 3:4 | 1:3 2:4 3:4 | 1 | 1"}}) {
    BindAs(kTx);
    socket.AcceptConnect(milliseconds(stop_at_ms == 1005 ? 50 : 0));
    socket.AnswerWith(LikeAnSmsc(0, true));
    const std::size_t sent_before = socket.Sent().size();
    outcomes.clear(), submitted = 0;
    SubmitSome(smpp, 2);
    socket.PeerClose();
    SubmitSome(smpp, 1);  // while rebinding, joins the queue
    environment.Advance(milliseconds(stop_at_ms));
    AnswerLikeAnSmsc();
    if (stop_at_ms > 0) by_bind ? static_cast<void>(smpp.Bind(kRx)) : smpp.Unbind();
    const std::string at_once = outcomes;
    environment.Advance(milliseconds(600000));
    std::string sent;
    for (std::size_t i = sent_before; i < socket.Sent().size(); ++i)
      if (socket.Sent()[i][7] == 0x04) sent += std::string(1, char(socket.Sent()[i][22])) + " ";
    EXPECT_EQ(Join(at_once + "|", outcomes + "|", sent + "|", smpp.ConnectedAndBound), expected);
  }
}

// Destroying a session completes each submission once, the sent one
// ConnectionLost, the queued one NotSent; one made from inside a completion
// then completes NotSent at once.
TEST_F(ReconnectTest, DestroyingTheSessionCompletesEverySubmissionOnce) {
  auto other = std::make_unique<SMPP>(environment);
  other->SMPPServerAddress("smsc.test");
  other->AutoUnbindOnDestroy(false);
  environment.LastSocket()->AnswerWith(LikeAnSmsc(0, true));
  ASSERT_EQ(other->Bind(kTx), 2);
  other->MaxOutstanding(2);
  SubmitSome(*other, 1);
  SMPP* session = other.get();  // still valid inside its destructor
  other->SubmitAsync(message, [&](const SubmitResult& r) {
    outcomes += "0:" + std::to_string(static_cast<int>(r.Outcome)) + " ";
    session->SubmitAsync(message, [&](const SubmitResult& again) {
      outcomes += "nested:" + std::to_string(static_cast<int>(again.Outcome)) + " ";
    });
  });
  SubmitSome(*other, 2);
  other.reset();
  EXPECT_EQ(outcomes, "0:3 nested:4 1:3 2:4 3:4 ");
}

}  // namespace
}  // namespace korvane
