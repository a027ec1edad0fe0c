// SendMessage, SendMessageAsp, SubmitAsync and AsyncSubmit: submit_sm or
// submit_multi, the waits for the message id in virtual time, the window and
// its queue; throttle answers retried in place up to ThrottleRetryLimit and
// MaxSubmitsPerSecond spreading the sends; and a coroutine awaiting
// submissions.

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/use_awaitable.hpp>

#include "api/api_fixture.hpp"
#include "korvane/async_submit.hpp"

namespace korvane {
namespace {

// A script host's object: members by name, nothing else.
struct ScriptObject : LateBound {
  mutable std::map<std::string, Variant> members;
  Variant GetMember(const std::string& path) const override { return Find(path); }
  void PutMember(const std::string& path, const Variant& value) override { Find(path) = value; }
  Variant& Find(const std::string& path) const {
    if (!members.contains(path)) throw ComponentError(438, "Object doesn't support this property");
    return members.at(path);
  }
};

class SubmitTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.OperationsTimeout(10);
    BindAs(kTx);
  }
  std::string Send(bool wait) {
    const std::string id = smpp.SendMessage(message, wait);
    return Join(id, message.MessageID, message.SequenceNumber, smpp.LastMessageID);
  }
};

TEST_F(SubmitTest, DestAddressChoosesSubmitSmAndRecipientsSubmitMulti) {
  smpp.EnableTraceMessages(true);
  message.ProtocolID = 0x41;
  for (const char* name : {"1", "2", "3"}) message.AddRecipient({}, {}, name);
  message.DestAddress = "1234";  // wins over the recipients
  // Each with the octet at `offset`: protocol_id after "1234" and esm_class
  // (the session's unless the message's is asked for), number_of_dests.
  const auto send = [&](std::size_t offset) {
    const std::string sent = Send(false);
    return sent + " " + std::to_string(socket.Sent().back()[offset]);
  };
  EXPECT_EQ(Run([&] { return send(28); }), "  4  51 | >SUBMIT_SM | 4:4 | 0ms");
  smpp.UseMessageProtocolID = true;
  EXPECT_EQ(Run([&] { return send(28); }), "  5  65 | >SUBMIT_SM | 4:5 | 0ms");
  environment.Advance(milliseconds(50));
  message.DestAddress = "";
  message.MessageID = "kept";
  EXPECT_EQ(Run([&] {
              const std::string sent = send(20);
              environment.Advance(milliseconds(50));
              return Join(sent, smpp.LastMessageID,
                          events.Named("MessageDelivered").at(0).message.MessageID);
            }),
            " kept 6  3 MSG6 MSG6 | >SUBMIT_SM_MULTI, MessageDelivered, <SUBMIT_MULTI_RESP | 21:6 "
            "| 50ms");
}

// Waited (w), a submission ends on any response with its sequence number,
// otherwise after the whole timeout; without a destination (-) it is
// refused. Asynchronous (a), it completes once, as that response, a
// generic_nack or the timeout decides.
TEST_F(SubmitTest, EachSubmissionEndsOnItsAnswerOrAfterTheTimeout) {
  smpp.OperationsTimeout(3);
  for (const auto& [command_id, status, expected] :
       {std::tuple{0x80000004u, 0u, "w M1 M1 4 M1 | MessageDelivered | 4:4 | 2000ms"},
        {0x80000003u, 0u, "w M1 M1 5 M1 | MessageStatusReceived | 4:5 | 2000ms"},
        {0u, 0u, "w   6  |  | 4:6 | 3000ms"},
        {0x80000004u, 0u, "-   6  | Error#28733 |  | 3000ms"},
        {0x80000004u, 0u, "a 0 M1 0 7 2000000000 ; | MessageDelivered | 4:7 | 4000ms"},
        {0x80000000u, 3u,
         "a 1  3 8 2000000000 refused with status 0x00000003; | Error#27003, Warning#29000, "
         "GenericNACK#3{8} | 4:8 | 4000ms"},
        {0x80000021u, 0u, "a 0 M1 0 9 2000000000 ; | MessageDelivered | 4:9 | 4000ms"},
        {0u, 0u, "a 2  0 10 3000000000 timed out; |  | 4:10 | 4000ms"}}) {
    Answer(command_id, status, command_id == 0x80000003 ? std::string("M1\0\0\2", 5) : "M1",
           seconds(2));
    message.DestAddress = expected[0] == '-' ? "" : "1234";
    const bool async = expected[0] == 'a';
    message.MessageID = "stale";
    smpp.LastMessageID = "old";
    EXPECT_EQ(Run([&] {
                if (!async) return Send(true);
                std::string line;
                smpp.SubmitAsync(message, [&](const SubmitResult& r) {
                  line += Join(static_cast<int>(r.Outcome), r.MessageID, r.CommandStatus,
                               r.SequenceNumber, r.Elapsed.count(), r.ErrorText) +
                          ";";
                });
                environment.Advance(seconds(4));
                return line;
              }),
              std::string(expected).substr(2));
  }
}

// A script object by its members; one without the members is refused.
TEST_F(SubmitTest, SendMessageAspTakesAScriptObjectByItsMembers) {
  AnswerLikeAnSmsc(0, milliseconds(100));
  smpp.OperationsTimeout(1);
  ScriptObject script, bare;
  script.members = {{"DestAddress", "1234"}, {"ShortMessage", "Hi"}, {"DataCoding", "3"},
                    {"MessageID", ""},       {"SequenceNumber", 0},  {"Recipients.Count", 0}};
  EXPECT_EQ(Run([&] { return smpp.SendMessageAsp(script, true); }, true),
            "MSG4 | MessageDelivered | 00 00 00 27 00 00 00 04 00 00 00 00 00 00 00 04 00 00 00 00 "
            "00 00 31 32 33 34 00 00 33 00 00 00 00 00 03 00 02 48 69 | 100ms");
  EXPECT_EQ(script.Find("MessageID").ToText(), "MSG4");
  EXPECT_EQ(Run([&] { return smpp.SendMessageAsp(bare, true); }),
            " | Error#438{@SendMessageAsp}, Error#438{@SendMessageAsp} |  | 1000ms");
}

// AsyncSubmit resumes the awaiting coroutine once per result, in order.
TEST_F(SubmitTest, ACoroutineAwaitsEachSubmissionsResult) {
  asio::io_context io;
  std::string results;
  auto submit_two = [&]() -> asio::awaitable<void> {
    for (int n = 0; n < 2; ++n) {
      const SubmitResult r = co_await smpp.AsyncSubmit(message, asio::use_awaitable);
      results += Join(static_cast<int>(r.Outcome), r.MessageID) + ";";
    }
  };
  asio::co_spawn(io, submit_two, asio::detached);
  for (int step = 0; step < 4; ++step, io.restart()) {
    io.poll();
    environment.Advance(milliseconds(10));
  }
  EXPECT_EQ(results, "0 MSG4;0 MSG5;");
}

// The sixth finds the queue full; an answer frees a place for the next
// queued one; the end of the connection ends the rest.
TEST_F(SubmitTest, TheWindowLimitsWhatIsInFlightAndTheQueueIsBounded) {
  NeverAnswer();
  smpp.MaxOutstanding(3);
  smpp.MaxQueuedSubmissions(2);
  std::string results;  // "n:outcome error text;" in the order completed
  EXPECT_EQ(Run([&] {
              for (int n = 0; n < 6; ++n) {
                smpp.SubmitAsync(message, [&results, n](const SubmitResult& r) {
                  results += Join(n, static_cast<int>(r.Outcome), r.ErrorText) + ";";
                });
              }
              return std::exchange(results, "");
            }),
            "5 4 not sent: the submission queue is full; |  | 4:4, 4:5, 4:6 | 0ms");
  EXPECT_EQ(Run([&] {
              socket.Receive(MakePdu(0x80000004, 0, 4, {'A', 0}));
              environment.Advance(milliseconds(1));
              socket.PeerClose();
              return results;
            }),
            "0 0 ;3 3 connection lost, outcome unknown;2 3 connection lost, outcome unknown;1 3 "
            "connection lost, outcome unknown;4 4 not sent; | MessageDelivered, ConnectionClosed | "
            "4:7 | 1ms");
}

// Throttled every time: sent 1 + ThrottleRetryLimit times, then Refused with
// the last status; other refusals are never sent again. MaxSubmitsPerSecond
// R: one send every 1/R s (no cap: all at once, the window test). Rows:
// "retry limit, cap, status, destinations | each send as destination@ms and
// each result as destination:outcome status retries sequence, in order".
TEST_F(SubmitTest, ThrottleRetriesUpToTheLimitAndSendsAtTheCap) {
  for (const std::string row :
       {"0 0 88 1 | 1001@0 1001:1 88 0 4", "2 0 20 1 | 1001@0 1001@1000 1001@2000 1001:1 20 2 7",
        "5 0 69 1 | 1001@0 1001:1 69 0 8",
        "5 50 0 3 | 1001@0 1001:0 0 0 9 1002@20 1002:0 0 0 10 1003@40 1003:0 0 0 11"}) {
    int32_t limit = 0, cap = 0, status = 0, count = 0;
    std::sscanf(row.c_str(), "%d %d %d %d", &limit, &cap, &status, &count);
    smpp.ThrottleRetryLimit(limit);
    smpp.MaxSubmitsPerSecond(cap);
    const auto origin = environment.Elapsed();
    std::string line;
    socket.AnswerWith([&](const std::vector<uint8_t>& sent) {
      if (sent[7] != 0x04) return std::vector<uint8_t>{};  // submit_sm only
      line += " " + std::string(sent.begin() + 22, sent.begin() + 26) + "@" +
              std::to_string((environment.Elapsed() - origin).count());
      return MakePdu(0x80000004, status, testing::SequenceNumberOf(sent),
                     status ? std::vector<uint8_t>{} : std::vector<uint8_t>{'I', 'D', 0});
    });
    for (int n = 1; n <= count; ++n) {
      message.DestAddress = std::to_string(1000 + n);
      smpp.SubmitAsync(message, [&line, dest = message.DestAddress](const SubmitResult& r) {
        line += " " + dest + ":" +
                Join(static_cast<int>(r.Outcome), r.CommandStatus, r.Retries, r.SequenceNumber);
      });
    }
    environment.Advance(seconds(60));
    EXPECT_EQ(line, row.substr(row.find('|') + 1)) << row;
  }
}

}  // namespace
}  // namespace korvane
