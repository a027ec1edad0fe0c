// SendMessage, SendMessageAsp, SubmitAsync and AsyncSubmit on the fake
// environment: submit_sm or submit_multi, the waits for the message id in
// virtual time, the window and its queue.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "api/api_fixture.hpp"
#include "korvane/async_submit.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::Join;
using testing::MakePdu;

// A script host's object: members by name, nothing else.
class ScriptObject : public LateBound {
 public:
  std::map<std::string, Variant> members;
  Variant GetMember(const std::string& path) const override {
    if (!members.contains(path)) throw ComponentError(438, "Object doesn't support this property");
    return members.at(path);
  }
  void PutMember(const std::string& path, const Variant& value) override {
    if (!members.contains(path)) throw ComponentError(438, "Object doesn't support this property");
    members[path] = value;
  }
};

class SubmitTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.OperationsTimeout(10);
    BindAs(BindTypes::SmppBindAsTransmitter);
  }
  // Answers each submission after `delay` with `command_id` and `status`
  // (none when 0), accepted ones with `id`.
  void Answer(uint32_t command_id, uint32_t status, std::string id, milliseconds delay) {
    socket.AnswerWith(
        [=](const std::vector<uint8_t>& sent) {
          if (command_id == 0) return std::vector<uint8_t>{};
          return MakePdu(command_id, status, testing::SequenceNumberOf(sent),
                         status == 0 ? testing::Octets(id + '\0') : std::vector<uint8_t>{});
        },
        delay);
  }
  std::string Send(bool wait) {
    const std::string id = smpp.SendMessage(message, wait);
    return Join(id, message.MessageID, message.SequenceNumber, smpp.LastMessageID);
  }
  const std::vector<uint8_t>& LastSent() const { return socket.Sent().back(); }
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
    return sent + " " + std::to_string(LastSent()[offset]);
  };
  EXPECT_EQ(Run([&] { return send(28); }), "  4  51 | TraceLog{Sent SUBMIT_SM} | 4:4 | 0ms");
  smpp.UseMessageProtocolID = true;
  EXPECT_EQ(Run([&] { return send(28); }), "  5  65 | TraceLog{Sent SUBMIT_SM} | 4:5 | 0ms");
  message.DestAddress = "";
  EXPECT_EQ(Run([&] { return send(20); }), "  6  3 | TraceLog{Sent SUBMIT_SM_MULTI} | 21:6 | 0ms");
  smpp.EnableTraceMessages(false);
  environment.Advance(milliseconds(50));
  message.MessageID = "kept";
  EXPECT_EQ(Run([&] {
              const std::string sent = Send(false);
              environment.Advance(milliseconds(50));
              return sent + " " + smpp.LastMessageID + " " + events.events.at(0).message.MessageID;
            }),
            " kept 7  MSG7 MSG7 | MessageDelivered | 21:7 | 50ms");
}

// A waited submission ends on any response with its sequence number, at
// once on its refusal, and otherwise after the whole timeout.
TEST_F(SubmitTest, TheWaitEndsOnItsAnswerOrAfterTheTimeout) {
  struct Case {
    uint32_t command_id, status;
    const char *id, *dest, *expected;
  };
  const Case cases[] = {
      {0x80000004, 0, "M1", "1234", "M1 M1 4 M1 | MessageDelivered | 4:4 | 2000ms"},
      {0x80000003, 0, "99", "1234", "99 99 5 99 | MessageStatusReceived | 4:5 | 2000ms"},
      {0x80000004, 0x58, "", "1234",
       "  6  | Error#27088{Protocol Error : Submit SM Throttling error (ESME has exceeded allowed "
       "message limits)}, Error#29004{Invalid Data in Submit SM Segment} | 4:6 | 2000ms"},
      {0, 0, "", "1234", "  7  |  | 4:7 | 3000ms"},
      {0x80000004, 0, "M1", "",
       "  7  | Error#28733{The recipients collection is empty and no DestAddress property "
       "specified.} |  | 3000ms"},
  };
  smpp.OperationsTimeout(3);
  for (const Case& c : cases) {
    Answer(c.command_id, c.status, c.command_id == 0x80000003 ? std::string("99\0\0\2", 5) : c.id,
           seconds(2));
    message.DestAddress = c.dest;
    message.MessageID = "stale";
    smpp.LastMessageID = "old";
    EXPECT_EQ(Run([&] { return Send(true); }), c.expected);
  }
}

// Whatever other responses arrive first; each accepted one still sets
// LastMessageID and raises MessageDelivered.
TEST_F(SubmitTest, AWaitedSubmissionEndsOnItsOwnResponse) {
  struct Case {
    uint32_t status_a, status_b;  // A is sent first without waiting
    bool b_first;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, false, "B-ID B-ID 5 B-ID | MessageDelivered, MessageDelivered | 4:5 | 110ms"},
      {0, 0, true, "B-ID B-ID 7 A-ID | MessageDelivered, MessageDelivered | 4:7 | 110ms"},
      {0, 0x58, true,
       "  9 A-ID | Error#27088{Protocol Error : Submit SM Throttling error (ESME has exceeded "
       "allowed message limits)}, Error#29004{Invalid Data in Submit SM Segment}, MessageDelivered "
       "| 4:9 | 110ms"},
      {0x58, 0, false,
       "B-ID B-ID 11 B-ID | Error#27088{Protocol Error : Submit SM Throttling error (ESME has "
       "exceeded allowed message limits)}, Error#29004{Invalid Data in Submit SM Segment}, "
       "MessageDelivered | 4:11 | 110ms"}};
  for (const Case& c : cases) {
    NeverAnswer();
    MessageObject a;
    a.DestAddress = "1111";
    smpp.SendMessage(a);
    const auto answer = [](uint32_t status, int32_t sequence, const char* id) {
      return MakePdu(
          0x80000004, status, sequence,
          status == 0 ? testing::Octets(std::string(id) + '\0') : std::vector<uint8_t>{});
    };
    const std::vector<uint8_t> answer_a = answer(c.status_a, a.SequenceNumber, "A-ID");
    socket.AnswerWith([=](const std::vector<uint8_t>& sent) {
      std::vector<uint8_t> b = answer(c.status_b, testing::SequenceNumberOf(sent), "B-ID");
      std::vector<uint8_t> both = c.b_first ? b : answer_a;
      const std::vector<uint8_t>& second = c.b_first ? answer_a : b;
      both.insert(both.end(), second.begin(), second.end());
      return both;
    });
    message.MessageID = "stale";
    EXPECT_EQ(Run([&] {
                const std::string sent = Send(true);
                environment.Advance(milliseconds(100));  // what is left arrives afterwards
                return sent;
              }),
              c.expected);
  }
}

TEST_F(SubmitTest, SendMessageAspTakesAMessageObjectOrAScriptObject) {
  AnswerLikeAnSmsc(0, milliseconds(100));
  EXPECT_EQ(Run([&] {
              LateBound& object = message;
              const std::string id = smpp.SendMessageAsp(object, true);
              return Join(id, message.MessageID, message.SequenceNumber);
            }),
            "MSG4 MSG4 4 | MessageDelivered | 4:4 | 100ms");
  ScriptObject object;
  object.members = {{"DestAddress", "1234"}, {"ShortMessage", "Hi"}, {"DataCoding", "3"},
                    {"MessageID", ""},       {"SequenceNumber", 0},  {"Recipients.Count", 0}};
  EXPECT_EQ(Run(
                [&] {
                  const std::string id = smpp.SendMessageAsp(object, true);
                  return Join(id, object.members["MessageID"].ToText(),
                              object.members["SequenceNumber"].ToText());
                },
                true),
            "MSG5 MSG5 5 | MessageDelivered | 00 00 00 27 00 00 00 04 00 00 00 00 00 00 00 05 00 "
            "00 00 00 00 00 31 32 33 34 00 00 33 00 00 00 00 00 03 00 02 48 69 | 100ms");
  // What cannot be converted is refused: no destination, recipients that
  // cannot be read by name, a bad value, no members at all.
  smpp.OperationsTimeout(1);
  ScriptObject refused[4];
  refused[0].members = {{"DestAddress", ""}, {"Recipients.Count", 0}, {"MessageID", "x"}};
  refused[1].members = {{"DestAddress", ""}, {"Recipients.Count", 2}, {"MessageID", "x"}};
  refused[2].members = {{"DestAddress", "1"}, {"Priority", "high"}, {"MessageID", "x"}};
  const char* expected[] = {
      (" | Error#28733{The recipients collection is empty and no DestAddress property specified.} "
       "| "
       " | 1000ms"),
      " | Error#13{@SendMessageAsp} |  | 1000ms", " | Error#13{@SendMessageAsp} |  | 1000ms",
      "- | Error#438{@SendMessageAsp}, Error#438{@SendMessageAsp} |  | 1000ms"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Run([&] {
                smpp.SendMessageAsp(refused[i], true);
                return refused[i].members.contains("MessageID")
                           ? refused[i].members["MessageID"].ToText()
                           : "-";
              }),
              expected[i]);
  }
}

TEST_F(SubmitTest, TimeZoneBiasIsSharedByTheSessionsOfAThread) {
  testing::FakeEnvironment other_environment;
  SMPP other(other_environment);
  smpp.TimeZoneBias("08+");
  EXPECT_EQ(other.TimeZoneBias(), "08+");
  for (const char* ignored : {"8+", "008+", "08*", "ab+", ""}) other.TimeZoneBias(ignored);
  EXPECT_EQ(smpp.TimeZoneBias(), "08+");
  other.TimeZoneBias("04-");
  message.ScheduledDeliveryTime = DateTime(2004, 3, 9, 14, 5, 7);
  EXPECT_EQ(Run([&] {
              smpp.SendMessage(message);
              return std::string(LastSent().begin() + 30, LastSent().begin() + 46);
            }),
            "040309140507004- |  | 4:4 | 0ms");
}

TEST_F(SubmitTest, EachAsyncOutcomeCompletesOnce) {
  struct Case {
    uint32_t command_id, status;
    const char* expected;
  };
  const Case cases[] = {
      {0x80000004, 0, "0 ID1 0 4 20000000 ; | MessageDelivered | 4:4 | 11000ms"},
      {0x80000004, 0x458,
       "1  1112 5 20000000 refused with status 0x00000458; | Error#28000{Protocol Error : Submit "
       "SM Unhandled Error - Status:0x00000458- Command:Submit SM}, Error#29004{Invalid Data in "
       "Submit SM Segment} | 4:5 | 11000ms"},
      {0x80000000, 3,
       "1  3 6 20000000 refused with status 0x00000003; | Error#27003{Protocol Error : NACK App. "
       "had raised an Invalid Command ID }, Warning#29000{Generic NACK received from SMSC}, "
       "GenericNACK#3{6} | 4:6 | 11000ms"},

      {0x80000021, 0, "0 ID1 0 7 20000000 ; | MessageDelivered | 4:7 | 11000ms"},
      {0, 0, "2  0 8 10000000000 timed out; |  | 4:8 | 11000ms"}};
  for (const Case& c : cases) {
    Answer(c.command_id, c.status, "ID1", milliseconds(20));
    EXPECT_EQ(Run([&] {
                std::string line;
                smpp.SubmitAsync(message, [&](const SubmitResult& r) {
                  line += Join(static_cast<int>(r.Outcome), r.MessageID, r.CommandStatus,
                               r.SequenceNumber, r.Elapsed.count(), r.ErrorText) +
                          ";";
                });
                environment.Advance(seconds(11));
                return line;
              }),
              c.expected);
  }
  AnswerLikeAnSmsc();
  EXPECT_EQ(Run([&] {
              std::string line;
              smpp.AsyncSubmit(message, [&](SubmitResult r) {
                line += Join(static_cast<int>(r.Outcome), r.MessageID);
              });
              environment.Advance(milliseconds(50));
              return line;
            }),
            "0 MSG9 | MessageDelivered | 4:9 | 50ms");
}

TEST_F(SubmitTest, TheWindowLimitsWhatIsInFlightAndTheQueueIsBounded) {
  NeverAnswer();
  smpp.MaxOutstanding(3);
  smpp.MaxQueuedSubmissions(2);
  std::map<int, std::string> results;
  const auto shown = [&] {
    std::string line;
    for (const auto& [n, result] : results) line += std::to_string(n) + ":" + result + ";";
    return line;
  };
  // The sixth finds the queue full; an answer frees a place for the next
  // queued one; the end of the connection ends the rest.
  EXPECT_EQ(Run([&] {
              for (int n = 0; n < 6; ++n) {
                smpp.SubmitAsync(message, [&results, n](const SubmitResult& r) {
                  results[n] += Join(static_cast<int>(r.Outcome), r.ErrorText);
                });
              }
              return shown();
            }),
            "5:4 not sent: the submission queue is full; |  | 4:4, 4:5, 4:6 | 0ms");
  const int32_t first = testing::SequenceNumberOf(socket.Sent()[socket.Sent().size() - 3]);
  EXPECT_EQ(Run([&] {
              socket.Receive(MakePdu(0x80000004, 0, first, {'A', 0}));
              environment.Advance(milliseconds(1));
              return shown();
            }),
            "0:0 ;5:4 not sent: the submission queue is full; | MessageDelivered | 4:7 | 1ms");
  EXPECT_EQ(Run([&] {
              socket.PeerClose();
              environment.Advance(milliseconds(1));
              return shown();
            }),
            "0:0 ;1:3 connection lost, outcome unknown;2:3 connection lost, outcome unknown;3:3 "
            "connection lost, outcome unknown;4:4 not sent;5:4 not sent: the submission queue is "
            "full; | ConnectionClosed |  | 1ms");
}

}  // namespace
}  // namespace korvane
