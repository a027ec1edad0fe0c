// SubmitAsync on the fake environment: matching by sequence number, the
// window and its queue, timeouts and the end of the connection.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using testing::MakePdu;

class SubmitAsyncTest : public testing::SessionFixture {
 protected:
  SubmitAsyncTest() {
    smpp.OperationsTimeout(10);
    message.DestAddress = "1234";
  }
  // Submits `count` messages, recording each result by submission number.
  void SubmitMany(int count) {
    for (int n = 0; n < count; ++n)
      smpp.SubmitAsync(message, [this, n](const SubmitResult& r) { results[n].push_back(r); });
  }
  // The submissions still in flight: submit_sm sent and not answered.
  int SubmitsSent() const {
    int sent = 0;
    for (uint32_t id : SentCommands()) sent += id == 0x00000004;
    return sent;
  }

  MessageObject message;
  std::map<int, std::vector<SubmitResult>> results;
};

TEST_F(SubmitAsyncTest, EachOutcomeCompletesOnce) {
  struct Case {
    const char* what;
    uint32_t command_id;  // of the answer; 0: none
    uint32_t status;
    SubmitOutcome outcome;
    const char* message_id;
  };
  const Case cases[] = {
      {"accepted", 0x80000004, 0, SubmitOutcome::Accepted, "ID1"},
      {"refused", 0x80000004, 0x00000458, SubmitOutcome::Refused, ""},
      {"generic_nack", 0x80000000, 0x00000003, SubmitOutcome::Refused, ""},
      {"submit_multi_resp", 0x80000021, 0, SubmitOutcome::Accepted, "ID1"},
      {"silent", 0, 0, SubmitOutcome::TimedOut, ""},
  };
  BindAs(BindTypes::SmppBindAsTransmitter);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    results.clear();
    socket.AnswerWith(
        [c = c](const std::vector<uint8_t>& sent) {
          if (c.command_id == 0) return std::vector<uint8_t>{};
          std::vector<uint8_t> body;
          if (c.status == 0) body = testing::Octets(std::string("ID1") + '\0');
          return MakePdu(c.command_id, c.status, testing::SequenceNumberOf(sent), body);
        },
        milliseconds(20));
    SubmitMany(1);
    environment.Advance(std::chrono::seconds(11));
    ASSERT_EQ(results[0].size(), 1u);
    const SubmitResult& r = results[0][0];
    EXPECT_EQ(r.Outcome, c.outcome);
    EXPECT_EQ(r.MessageID, c.message_id);
    EXPECT_EQ(r.CommandStatus, c.status);
    EXPECT_NE(r.SequenceNumber, 0);
    if (c.command_id != 0) {
      EXPECT_EQ(r.Elapsed, milliseconds(20));
    }
  }
}

TEST_F(SubmitAsyncTest, TheWindowLimitsWhatIsInFlightAndTheQueueIsBounded) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  NeverAnswer();
  smpp.MaxOutstanding(3);
  smpp.MaxQueuedSubmissions(2);
  SubmitMany(6);
  EXPECT_EQ(SubmitsSent(), 3);
  // The sixth found the queue full and completed at once.
  ASSERT_EQ(results[5].size(), 1u);
  EXPECT_EQ(results[5][0].Outcome, SubmitOutcome::NotSent);
  EXPECT_EQ(results[5][0].ErrorText, "not sent: the submission queue is full");
  // An answer frees a place: the next queued one goes, in order.
  const int32_t first = testing::SequenceNumberOf(socket.Sent()[socket.Sent().size() - 3]);
  socket.Receive(MakePdu(0x80000004, 0, first, testing::Octets(std::string("A") + '\0')));
  environment.Advance(milliseconds(1));
  EXPECT_EQ(results[0].at(0).Outcome, SubmitOutcome::Accepted);
  EXPECT_EQ(SubmitsSent(), 4);
  // The end of the connection: in flight -> ConnectionLost, queued -> NotSent.
  socket.PeerClose();
  environment.Advance(milliseconds(1));
  const SubmitOutcome expected[] = {SubmitOutcome::Accepted,       SubmitOutcome::ConnectionLost,
                                    SubmitOutcome::ConnectionLost, SubmitOutcome::ConnectionLost,
                                    SubmitOutcome::NotSent,        SubmitOutcome::NotSent};
  for (int n = 0; n < 6; ++n) {
    ASSERT_EQ(results[n].size(), 1u) << n;
    EXPECT_EQ(results[n][0].Outcome, expected[n]) << n;
  }
  EXPECT_EQ(results[1][0].ErrorText, "connection lost, outcome unknown");
  EXPECT_EQ(results[4][0].ErrorText, "not sent");
}

}  // namespace
}  // namespace korvane

#include "korvane/async_submit.hpp"

namespace korvane {
namespace {

TEST_F(SubmitAsyncTest, AsyncSubmitTakesACompletionToken) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  AnswerLikeAnSmsc();
  std::vector<SubmitResult> seen;
  smpp.AsyncSubmit(message, [&](SubmitResult result) { seen.push_back(std::move(result)); });
  environment.Advance(milliseconds(50));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Outcome, SubmitOutcome::Accepted);
  EXPECT_FALSE(seen[0].MessageID.empty());
}

}  // namespace
}  // namespace korvane
