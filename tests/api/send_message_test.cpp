// SendMessage and SendMessageAsp on the fake environment: the bind check,
// submit_sm or submit_multi, the wait for the message id in virtual time,
// refused messages, late-bound objects, and the time-zone bias.
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
using std::chrono::seconds;
using testing::Hex;
using testing::HexText;
using testing::MakePdu;
using testing::ReportLines;
using Names = std::vector<std::string>;

constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kSubmitMulti = 0x00000021;

// A script host's object: members by name, nothing else.
class ScriptObject : public LateBound {
 public:
  std::map<std::string, Variant> members;

  Variant GetMember(const std::string& path) const override {
    const auto it = members.find(path);
    if (it == members.end()) throw ComponentError(438, "Object doesn't support this property");
    return it->second;
  }
  void PutMember(const std::string& path, const Variant& value) override {
    if (!members.contains(path)) throw ComponentError(438, "Object doesn't support this property");
    members[path] = value;
  }
};

class SendMessageTest : public testing::SessionFixture {
 protected:
  SendMessageTest() {
    smpp.OperationsTimeout(10);
    message.DestAddress = "1234";
  }

  void Bind() { BindAs(BindTypes::SmppBindAsTransmitter); }
  // From now on the peer answers submissions after `delay`.
  void AnswerSubmissionsAfter(milliseconds delay) { AnswerLikeAnSmsc(0, delay); }
  double Elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(environment.MonotonicNow() - since).count();
  }
  std::vector<uint8_t> LastSent() const { return socket.Sent().back(); }

  MessageObject message;
};

TEST_F(SendMessageTest, DestAddressChoosesSubmitSmAndRecipientsSubmitMulti) {
  Bind();
  message.AddRecipient({}, {}, "1");
  message.AddRecipient({}, {}, "2");
  message.AddRecipient({}, {}, "3");
  message.DestAddress = "1234";  // wins over the recipients
  smpp.SendMessage(message);
  EXPECT_EQ(testing::CommandIdOf(LastSent()), kSubmitSm);

  message.DestAddress = "";
  smpp.SendMessage(message);
  EXPECT_EQ(testing::CommandIdOf(LastSent()), kSubmitMulti);
  EXPECT_EQ(LastSent()[20], 3);  // number_of_dests
}

TEST_F(SendMessageTest, ProtocolIdIsTheSessionsUnlessTheMessagesIsAskedFor) {
  Bind();
  message.ProtocolID = 0x41;
  smpp.SendMessage(message);
  EXPECT_EQ(LastSent()[28], 0x33);  // protocol_id after "1234" and esm_class
  smpp.UseMessageProtocolID = true;
  smpp.SendMessage(message);
  EXPECT_EQ(LastSent()[28], 0x41);
}

TEST_F(SendMessageTest, EachSubmissionTakesTheNextSequenceNumberAndIsTraced) {
  Bind();
  smpp.EnableTraceMessages(true);
  smpp.SendMessage(message);
  EXPECT_EQ(message.SequenceNumber, 4);
  EXPECT_EQ(testing::SequenceNumberOf(LastSent()), 4u);
  message.DestAddress = "";
  message.AddRecipient({}, {}, "1");
  smpp.SendMessage(message);
  EXPECT_EQ(message.SequenceNumber, 5);
  EXPECT_EQ(testing::SequenceNumberOf(LastSent()), 5u);
  const auto traces = events.Named("TraceLog");
  ASSERT_GE(traces.size(), 2u);
  EXPECT_EQ(traces[0].text.rfind("Sent SUBMIT_SM:", 0), 0u) << traces[0].text;
  EXPECT_EQ(traces.back().text.rfind("Sent SUBMIT_SM_MULTI:", 0), 0u) << traces.back().text;
}

// A waited submission ends on any response with its sequence number, at
// once on its refusal, and otherwise after the whole timeout.
TEST_F(SendMessageTest, TheWaitEndsOnItsAnswerOrAfterTheTimeout) {
  struct Case {
    const char* what;
    uint32_t command_id;  // of the answer; 0: none
    uint32_t status;
    const char* body;
    const char* dest;
    const char* id;
    double seconds;
    const char* events;
  };
  const Case cases[] = {
      {"accepted", 0x80000004, 0, "4D 31 00", "1234", "M1", 2.0, "MessageDelivered"},
      {"query_sm_resp", 0x80000003, 0, "39 39 00 00 02 00", "1234", "99", 2.0,
       "MessageStatusReceived"},
      {"refused", 0x80000004, 0x58, "", "1234", "", 2.0,
       "Error#27088{Protocol Error : Submit SM Throttling error (ESME has exceeded allowed "
       "message limits)}, Error#29004{Invalid Data in Submit SM Segment}"},
      {"silent", 0, 0, "", "1234", "", 3.0, ""},
      {"no destination", 0x80000004, 0, "4D 31 00", "", "", 3.0,
       "Error#28733{The recipients collection is empty and no DestAddress property "
       "specified.}"},
  };
  Bind();
  smpp.OperationsTimeout(3);
  for (const Case& c : cases) {
    events.events.clear();
    socket.AnswerWith(
        [c](const std::vector<uint8_t>& sent) {
          if (c.command_id == 0) return std::vector<uint8_t>{};
          return MakePdu(c.command_id, c.status, testing::SequenceNumberOf(sent), Hex(c.body));
        },
        seconds(2));
    message.DestAddress = c.dest;
    message.MessageID = "stale";
    smpp.LastMessageID = "old";
    const auto start = environment.MonotonicNow();
    EXPECT_EQ(smpp.SendMessage(message, true), c.id) << c.what;
    EXPECT_NEAR(Elapsed(start), c.seconds, 0.05) << c.what;
    EXPECT_EQ(message.MessageID, c.id) << c.what;
    EXPECT_EQ(smpp.LastMessageID, c.id) << c.what;
    EXPECT_EQ(events.Summary(), c.events) << c.what;
  }
}

TEST_F(SendMessageTest, WithoutWaitTheIdArrivesLaterAsAnEvent) {
  Bind();
  message.MessageID = "kept";
  EXPECT_EQ(smpp.SendMessage(message), "");
  EXPECT_EQ(message.MessageID, "kept");
  EXPECT_EQ(smpp.LastMessageID, "");
  environment.Advance(milliseconds(50));
  EXPECT_EQ(smpp.LastMessageID, "MSG4");
  ASSERT_EQ(events.Names(), Names{"MessageDelivered"});
  EXPECT_EQ(events.events[0].message.MessageID, "MSG4");
}

TEST_F(SendMessageTest, SendMessageAspTakesAMessageObjectAsItIs) {
  Bind();
  AnswerSubmissionsAfter(milliseconds(100));
  LateBound& object = message;
  EXPECT_EQ(smpp.SendMessageAsp(object, true), "MSG4");
  EXPECT_EQ(message.MessageID, "MSG4");
  EXPECT_EQ(message.SequenceNumber, 4);
}

TEST_F(SendMessageTest, SendMessageAspConvertsAScriptObjectThroughItsMembers) {
  Bind();
  AnswerSubmissionsAfter(milliseconds(100));
  ScriptObject object;
  object.members = {{"DestAddress", "1234"}, {"ShortMessage", "Hi"}, {"DataCoding", "3"},
                    {"MessageID", ""},       {"SequenceNumber", 0},  {"Recipients.Count", 0}};
  EXPECT_EQ(smpp.SendMessageAsp(object, true), "MSG4");
  EXPECT_EQ(object.members["MessageID"], Variant("MSG4"));
  EXPECT_EQ(object.members["SequenceNumber"], Variant(4));
  const std::vector<uint8_t> pdu = LastSent();
  EXPECT_EQ(HexText(std::vector<uint8_t>(pdu.end() - 4, pdu.end())), "00 02 48 69");
  EXPECT_EQ(pdu[pdu.size() - 5], 3);  // data_coding
}

TEST_F(SendMessageTest, SendMessageAspRefusesWhatItCannotConvert) {
  Bind();
  smpp.OperationsTimeout(1);
  ScriptObject no_destination;  // neither DestAddress nor recipients
  no_destination.members = {{"DestAddress", ""}, {"Recipients.Count", 0}, {"MessageID", "x"}};
  ScriptObject recipients_only;  // its recipients cannot be read by name
  recipients_only.members = {{"DestAddress", ""}, {"Recipients.Count", 2}, {"MessageID", "x"}};
  ScriptObject bad_value;
  bad_value.members = {{"DestAddress", "1"}, {"Priority", "high"}, {"MessageID", "x"}};
  ScriptObject nothing;
  const std::size_t sent = socket.Sent().size();
  for (auto [object, number] : {std::pair<ScriptObject*, int32_t>{&no_destination, 28733},
                                {&recipients_only, 13},
                                {&bad_value, 13},
                                {&nothing, 438}}) {
    events.events.clear();
    smpp.SendMessageAsp(*object, true);
    ASSERT_FALSE(events.Named("Error").empty());
    EXPECT_EQ(events.Named("Error")[0].number, number);
  }
  EXPECT_EQ(socket.Sent().size(), sent);
  EXPECT_EQ(recipients_only.members["MessageID"], Variant(""));  // written after the wait
}

TEST_F(SendMessageTest, TimeZoneBiasIsSharedByTheSessionsOfAThread) {
  testing::FakeEnvironment other_environment;
  SMPP other(other_environment);
  smpp.TimeZoneBias("08+");
  EXPECT_EQ(other.TimeZoneBias(), "08+");
  for (const char* ignored : {"8+", "008+", "08*", "ab+", ""}) {
    other.TimeZoneBias(ignored);
    EXPECT_EQ(smpp.TimeZoneBias(), "08+") << ignored;
  }
  other.TimeZoneBias("04-");
  EXPECT_EQ(smpp.TimeZoneBias(), "04-");

  Bind();
  message.ScheduledDeliveryTime = DateTime(2004, 3, 9, 14, 5, 7);
  smpp.SendMessage(message);
  const std::vector<uint8_t> pdu = LastSent();
  EXPECT_EQ(std::string(pdu.begin() + 30, pdu.begin() + 46), "040309140507004-");
  EXPECT_TRUE(events.Named("Error").empty());
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// A waited submission ends on the response with its own sequence number,
// whatever other responses arrive first; each accepted one still sets
// LastMessageID and raises MessageDelivered.
TEST_F(SendMessageTest, AWaitedSubmissionEndsOnItsOwnResponse) {
  struct Case {
    const char* what;
    uint32_t status_a;  // the answer to A, sent first without waiting
    uint32_t status_b;
    bool b_first;
    const char* result;
    Names events;
  };
  const Case cases[] = {
      {"A answered first", 0, 0, false, "B-ID", {"MessageDelivered", "MessageDelivered"}},
      {"B answered first", 0, 0, true, "B-ID", {"MessageDelivered", "MessageDelivered"}},
      {"B refused, then A accepted", 0, 0x58, true, "", {"Error", "Error", "MessageDelivered"}},
      {"A refused first, B accepted",
       0x58,
       0,
       false,
       "B-ID",
       {"Error", "Error", "MessageDelivered"}},
  };
  Bind();
  for (const Case& c : cases) {
    events.events.clear();
    NeverAnswer();
    MessageObject a;
    a.DestAddress = "1111";
    smpp.SendMessage(a);
    std::vector<uint8_t> answer_a = MakePdu(
        0x80000004, c.status_a, a.SequenceNumber,
        c.status_a == 0 ? testing::Octets(std::string("A-ID") + '\0') : std::vector<uint8_t>{});
    // By value: the responder outlives this pass of the loop.
    socket.AnswerWith(
        [status_b = c.status_b, b_first = c.b_first, answer_a](const std::vector<uint8_t>& sent) {
          std::vector<uint8_t> b = MakePdu(
              0x80000004, status_b, testing::SequenceNumberOf(sent),
              status_b == 0 ? testing::Octets(std::string("B-ID") + '\0') : std::vector<uint8_t>{});
          std::vector<uint8_t> both = b_first ? b : answer_a;
          const std::vector<uint8_t>& second = b_first ? answer_a : b;
          both.insert(both.end(), second.begin(), second.end());
          return both;
        },
        milliseconds(10));
    message.MessageID = "stale";
    EXPECT_EQ(smpp.SendMessage(message, true), c.result) << c.what;
    EXPECT_EQ(message.MessageID, c.result) << c.what;
    EXPECT_EQ(events.Names(), c.events) << c.what;
    // What is left arrives afterwards, as before.
    environment.Advance(milliseconds(100));
  }
}

}  // namespace
}  // namespace korvane
