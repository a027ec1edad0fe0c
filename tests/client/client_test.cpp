// korvane-smpp, run in-process as a shell runs the binary: its command line,
// and against the loopback SMSC over real TCP what it sends (encoding,
// splitting), what it prints and its exit statuses.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "client/client_session.hpp"
#include "client/exit_codes.hpp"
#include "client/output.hpp"
#include "client/run_client.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::CommandIdOf;
using testing::Hex;
using testing::HexText;
using testing::LoopbackSmsc;
using testing::MakePdu;

constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kBindTransmitter = 0x00000002;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kUnbind = 0x00000006;
constexpr uint32_t kSubmitMulti = 0x00000021;

struct ClientRun {
  int exit_status = -1;
  std::string out;
  std::string err;
};

ClientRun RunKorvaneSmpp(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "korvane-smpp");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  std::ostringstream out, err;
  ClientRun run;
  run.exit_status = client::RunClient(static_cast<int>(argv.size()), argv.data(), out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// A deliver_sm from 4479 to 12345: esm_class, data_coding, short_message and
// optional parameters (hex).
std::vector<uint8_t> Delivery(uint8_t esm_class, uint8_t data_coding,
                              const std::vector<uint8_t>& short_message,
                              const std::string& tlvs = "") {
  std::vector<uint8_t> body = Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00");
  body.push_back(esm_class);
  body.insert(body.end(), 6, 0);
  body.push_back(data_coding);
  body.push_back(0);
  body.push_back(static_cast<uint8_t>(short_message.size()));
  body.insert(body.end(), short_message.begin(), short_message.end());
  for (const uint8_t octet : Hex(tlvs)) body.push_back(octet);
  return MakePdu(0x00000005, 0, 7, body);
}
std::vector<uint8_t> Delivery(uint8_t esm_class, uint8_t data_coding, const std::string& text,
                              const std::string& tlvs = "") {
  return Delivery(esm_class, data_coding, testing::Octets(text), tlvs);
}

class ClientTest : public ::testing::Test {
 protected:
  // Runs `command` with `options` against the SMSC, a 1 s timeout.
  ClientRun Run(const std::string& command, std::vector<std::string> options = {}) {
    options.insert(options.begin(),
                   {command, "--port", std::to_string(smsc.Port()), "--timeout", "1"});
    return RunKorvaneSmpp(options);
  }

  // The command ids of the PDUs the client sent, in order.
  std::vector<uint32_t> SentCommands() const {
    std::vector<uint32_t> ids;
    for (const auto& pdu : smsc.Received()) ids.push_back(CommandIdOf(pdu));
    return ids;
  }

  // The first PDU with this command id the client sent, as hex.
  std::string Sent(uint32_t command_id) const {
    for (const auto& pdu : smsc.Received())
      if (CommandIdOf(pdu) == command_id) return HexText(pdu);
    return "";
  }

  std::vector<std::vector<uint8_t>> Submits() const {
    std::vector<std::vector<uint8_t>> submits;
    for (const auto& pdu : smsc.Received())
      if (CommandIdOf(pdu) == kSubmitSm) submits.push_back(pdu);
    return submits;
  }

  // Answers a receiving bind with its response, `deliveries`, then runs `then`.
  void AfterBind(std::vector<std::vector<uint8_t>> deliveries, std::function<void()> then = {}) {
    smsc.SetResponder([deliveries, then](const LoopbackSmsc::Octets& request) {
      auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
      if (CommandIdOf(request) == kBindReceiver || CommandIdOf(request) == kBindTransceiver) {
        answers.insert(answers.end(), deliveries.begin(), deliveries.end());
        if (then) then();
      }
      return answers;
    });
  }

  LoopbackSmsc smsc;
};

TEST_F(ClientTest, SendWaitPrintsTheIdOfASubmitWithExactlyTheFieldsGiven) {
  const auto run =
      Run("send", {"--to", "447700900123", "--from", "Korvane", "--from-ton", "5", "--text", "Hi",
                   "--coding", "3", "--registered-delivery", "1", "--validity-seconds", "60",
                   "--tlv", "0x1403=0102", "--tlv", "30=41", "--wait"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "message id: MSG4\n");
  EXPECT_EQ(Sent(kSubmitSm),
            "00 00 00 51 00 00 00 04 00 00 00 00 00 00 00 04 "
            "00 05 00 4B 6F 72 76 61 6E 65 00 00 00 34 34 37 37 30 30 39 30 30 31 32 33 00 "
            "00 00 00 00 30 30 30 30 30 30 30 30 30 30 36 30 30 30 30 52 00 "
            "01 00 03 00 02 48 69 14 03 00 02 01 02 00 1E 00 01 41");
  EXPECT_EQ(SentCommands(), (std::vector<uint32_t>{kBindTransmitter, kSubmitSm, kUnbind}));
}

TEST_F(ClientTest, SeveralDestinationsMakeOneSubmitMultiAndASchedulePassesThrough) {
  const auto run = Run("send", {"--to", "111", "--to", "222", "--list", "staff", "--hex", "CAFE",
                                "--payload", "--wait", "--json"});
  // Scheduled: the local time given, in tenths, then the zone's suffix.
  Run("send", {"--to", "1", "--text", "x", "--schedule", "2030-01-02 03:04:05"});
  EXPECT_NE(HexText(smsc.Received()[4]).find("00 33 30 30 31 30 32 30 33 30 34 30 35 30 "),
            std::string::npos)
      << HexText(smsc.Received()[4]);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("{\"event\":\"message_id\",\"id\":\"MSG4\"}\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(Sent(kSubmitMulti),
            "00 00 00 3A 00 00 00 21 00 00 00 00 00 00 00 04 00 00 00 00 03 "
            "01 00 00 31 31 31 00 01 00 00 32 32 32 00 02 73 74 61 66 66 00 "
            "00 00 00 00 00 00 00 00 00 00 04 24 00 02 CA FE");
}

TEST_F(ClientTest, ARefusedOrUnansweredSubmitFails) {
  smsc.SetResponder([](const LoopbackSmsc::Octets& request) {
    if (CommandIdOf(request) != kSubmitSm) return LoopbackSmsc::DefaultAnswer(request, 0);
    return std::vector<LoopbackSmsc::Octets>{
        MakePdu(0x80000004, 0x45, testing::SequenceNumberOf(request))};
  });
  auto run = Run("send", {"--to", "1", "--text", "x", "--wait"});
  EXPECT_EQ(run.exit_status, client::kExitFailure);
  EXPECT_NE(run.err.find("submit_sm failed: Protocol Error : Submit SM Submit Failed"),
            std::string::npos)
      << run.err;

  smsc.SetResponder([](const LoopbackSmsc::Octets& request) {
    if (CommandIdOf(request) == kSubmitSm) return std::vector<LoopbackSmsc::Octets>{};
    return LoopbackSmsc::DefaultAnswer(request, 0);
  });
  run = Run("send", {"--to", "1", "--text", "x", "--wait"});
  EXPECT_EQ(run.exit_status, client::kExitTimeout);
  EXPECT_NE(run.err.find("no answer to submit_sm within 1 s"), std::string::npos) << run.err;
}

TEST_F(ClientTest, ConnectAndBindFailuresSayWhatToDo) {
  int closed_port = 0;
  {
    LoopbackSmsc gone;
    closed_port = gone.Port();
  }
  auto run = RunKorvaneSmpp({"enquire", "--port", std::to_string(closed_port)});
  EXPECT_EQ(run.exit_status, client::kExitBindFailure);
  EXPECT_NE(run.err.find("cannot connect to 127.0.0.1:" + std::to_string(closed_port)),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("is the SMSC running? check --host/--port"), std::string::npos);

  smsc.SetResponder([](const LoopbackSmsc::Octets& request) {
    return LoopbackSmsc::DefaultAnswer(request, 0x0E);
  });
  run = Run("enquire");
  EXPECT_EQ(run.exit_status, client::kExitBindFailure);
  EXPECT_NE(run.err.find("bind refused by 127.0.0.1:"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Invalid Password"), std::string::npos) << run.err;
}

TEST_F(ClientTest, QueryCancelAndEnquirePrintTheAnswers) {
  auto run = Run("query", {"--id", "MSG9", "--from", "4479"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "message MSG9: DELIVERED (2), final date none, error code 0\n");
  EXPECT_EQ(Sent(0x00000003),
            "00 00 00 1C 00 00 00 03 00 00 00 00 00 00 00 04 4D 53 47 39 00 00 00 34 34 37 39 00");

  run = Run("cancel", {"--id", "MSG9", "--json"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("{\"event\":\"cancelled\",\"id\":\"MSG9\"}"), std::string::npos);

  run = Run("enquire");
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "link ok: 127.0.0.1:" + std::to_string(smsc.Port()) + " answered enquire_link\n");
}

TEST_F(ClientTest, ListenPrintsAReceiptAndAcknowledgesIt) {
  AfterBind({Delivery(0x04, 0, "id:MSG4 sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hello",
                      "00 1E 00 05 4D 53 47 34 00 04 27 00 01 02")});
  const auto run = Run("listen", {"--count", "1", "--for", "5"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "receipt for MSG4: DELIVERED, err 000, submitted 1, delivered 1 (id:MSG4 sub:001 "
            "dlvrd:001 stat:DELIVRD err:000 text:Hello)\n");
  EXPECT_EQ(SentCommands(), (std::vector<uint32_t>{kBindReceiver, 0x80000005, kUnbind}));
}

TEST_F(ClientTest, ListenEndsOnAnInterruptAndUnbinds) {
  AfterBind({}, [] { kill(getpid(), SIGINT); });
  const auto run = Run("listen", {"--for", "5"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(SentCommands(), (std::vector<uint32_t>{kBindReceiver, kUnbind}));
}

TEST_F(ClientTest, SendWaitReceiptBindsAsTransceiverAndWaitsForItsOwnReceipt) {
  // A stored receipt of an earlier message comes first; the wait goes on
  // until the one naming this submission's id.
  smsc.SetResponder([](const LoopbackSmsc::Octets& request) {
    auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
    if (CommandIdOf(request) != kSubmitSm) return answers;
    const std::string id = "MSG" + std::to_string(testing::SequenceNumberOf(request));
    answers.push_back(Delivery(0x04, 0, "id:OLD1 stat:DELIVRD"));
    answers.push_back(
        Delivery(0x04, 0, "id:" + id + " sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hi",
                 "00 1E 00 05 " + HexText(testing::Octets(id)) + " 00 04 27 00 01 02"));
    return answers;
  });
  auto run = Run("send", {"--to", "4479", "--text", "Hi", "--wait-receipt"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  // The receipt comes with the answer here, so it may print before the id.
  EXPECT_NE(run.out.find("message id: MSG"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("receipt for OLD1: DELIVERED (id:OLD1 stat:DELIVRD)\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(": DELIVERED, err 000, submitted 1, delivered 1 (id:MSG"),
            std::string::npos)
      << run.out;
  ASSERT_FALSE(SentCommands().empty());
  EXPECT_EQ(SentCommands().front(), kBindTransceiver);
  // registered_delivery 1 is asked for: the octet after validity_period.
  EXPECT_NE(Sent(kSubmitSm).find("00 00 01 00 00 00 02 48 69"), std::string::npos)
      << Sent(kSubmitSm);

  smsc.SetResponder(nullptr);  // ids, but never a receipt
  run = Run("send", {"--to", "4479", "--text", "Hi", "--wait-receipt"});
  EXPECT_EQ(run.exit_status, 4);
  EXPECT_NE(run.err.find("no delivery receipt"), std::string::npos) << run.err;

  run = Run("send", {"--to", "4479", "--text", "Hi", "--wait-receipt", "--bind", "tx"});
  EXPECT_EQ(run.exit_status, 2);
}

TEST_F(ClientTest, ALongTextGoesInPartsEachWithItsId) {
  const auto run = Run("send", {"--to", "1", "--text", std::string(200, 'a'), "--wait", "--json"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto submits = Submits();
  ASSERT_EQ(submits.size(), 2u);
  // esm_class 0x40, then (after protocol_id .. data_coding) sm_length and the header.
  EXPECT_NE(HexText(submits[0]).find("31 00 40 00 00 00 00 00 00 00 00 9F 05 00 03 "),
            std::string::npos)
      << HexText(submits[0]);
  EXPECT_NE(HexText(submits[1]).find(" 02 02 61 61"), std::string::npos) << HexText(submits[1]);
  EXPECT_NE(run.out.find("\"part\":1,\"parts\":2}"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"part\":2,\"parts\":2}"), std::string::npos) << run.out;
}

struct SendRow {
  std::vector<std::string> options;
  std::string expected;  // hex found in the first submit_sm, from data_coding on
};

void PrintTo(const SendRow& row, std::ostream* out) {
  // ASCII only, in short: the name of the test.
  std::string name;
  for (const std::string& option : row.options) name += option.substr(0, 12) + " ";
  for (char& c : name)
    if (static_cast<unsigned char>(c) > 0x7E) c = '.';
  *out << name;
}

class ClientSendTable : public ClientTest, public ::testing::WithParamInterface<SendRow> {};

TEST_P(ClientSendTable, EncodesTheTextAsAsked) {
  std::vector<std::string> options{"--to", "1"};
  options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
  const auto run = Run("send", options);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  ASSERT_FALSE(Submits().empty());
  EXPECT_NE(HexText(Submits()[0]).find(GetParam().expected), std::string::npos)
      << HexText(Submits()[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ClientSendTable,
    ::testing::Values(
        SendRow{{"--text", "\xd0\x9f\xd1\x80\xd0\xb8"}, "08 00 06 04 1F 04 40 04 38"},
        SendRow{{"--text", "\xd0\x9f", "--coding", "8"}, "08 00 02 04 1F"},
        SendRow{{"--text", "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac"},
                "00 00 08 47 72 7E 1E 65 20 1B 65"},
        SendRow{{"--text", "\xc3\xa9", "--encoding", "latin1"}, "03 00 01 E9"},
        SendRow{{"--text", "\xc3\xa9", "--encoding", "ucs2"}, "08 00 02 00 E9"},
        SendRow{{"--text", "x", "--protocol-id", "65"}, "00 41 00 00 00 00 00 00 00 01 78"},
        SendRow{{"--text", std::string(161, 'b'), "--split", "sar"},
                "02 0E 00 01 02 02 0F 00 01 01"},
        SendRow{{"--text", std::string(161, 'b'), "--split", "udh16"}, "06 08 04"},
        SendRow{{"--text", std::string(300, 'b'), "--split", "payload"}, "00 00 00 04 24 01 2C 62"},
        SendRow{{"--hex", "0102", "--coding", "4"}, "04 00 02 01 02"}));

TEST_F(ClientTest, ListenPrintsAConcatenatedMessageOnceWhenWhole) {
  AfterBind({Delivery(0x40, 8, Hex("05 00 03 2A 02 02 00 21")),
             Delivery(0x40, 8, Hex("05 00 03 2A 02 01 04 1F 04 40 04 38"))});
  auto run = Run("listen", {"--count", "1", "--for", "5", "--json"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("\"esm_class\":64,\"text\":\"\\u041f\\u0440\\u0438!\",\"parts\":2}"),
            std::string::npos)
      << run.out;

  run = Run("listen", {"--count", "1", "--for", "5"});
  EXPECT_EQ(run.out, "message from 4479 to 12345 (2 parts): \xd0\x9f\xd1\x80\xd0\xb8!\n");
}

TEST_F(ClientTest, ListenShowsWhatCameOfAnIncompleteMessageAndEscapesControls) {
  AfterBind({Delivery(0x00, 0, Hex("48 69 1B 1B 0A 0D")),
             Delivery(0x00, 0, Hex("0A"), "02 0C 00 02 00 05 02 0E 00 01 03 02 0F 00 01 02")});
  const auto run = Run("listen", {"--count", "2", "--for", "1"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "message from 4479 to 12345: Hi \\n\\r\n"
            "incomplete message from 4479 to 12345 (3 parts), only part(s) 2: \\n\n");
}

TEST_F(ClientTest, ThePasswordComesFromAFileOrTheEnvironmentAndTracesMaskIt) {
  const std::string file = ::testing::TempDir() + "korvane-password";
  std::ofstream(file) << "filepw\n";
  auto run = Run("enquire", {"--system-id", "me", "--password-file", file, "--trace"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(HexText(smsc.Received()[0]).find("6D 65 00 66 69 6C 65 70 77 00"), std::string::npos);
  EXPECT_EQ(run.err.find("66 69 6C 65 70 77"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("6D 65 00 ** ** ** ** ** ** 00"), std::string::npos) << run.err;

  setenv("KORVANE_SMPP_PASSWORD", "envpw", 1);
  run = Run("enquire", {"--system-id", "me"});
  unsetenv("KORVANE_SMPP_PASSWORD");
  EXPECT_EQ(run.exit_status, 0) << run.err;
  std::string sent;
  for (const auto& pdu : smsc.Received()) sent += HexText(pdu) + "\n";
  EXPECT_NE(sent.find("6D 65 00 65 6E 76 70 77 00"), std::string::npos) << sent;
}

TEST(MaskedTraceLine, MasksOnlyTheBindPassword) {
  EXPECT_EQ(client::MaskedTraceLine("Sent BIND:\t00 00 00 14 00 00 00 09 00 00 00 00 00 00 00 01 "
                                    "41 00 70 77 00 00"),
            "Sent BIND:\t00 00 00 14 00 00 00 09 00 00 00 00 00 00 00 01 41 00 ** ** 00 00");
  const std::string submit =
      "Sent SUBMIT_SM:\t00 00 00 14 00 00 00 04 00 00 00 00 00 00 00 01 41 00 70 77 00 00";
  EXPECT_EQ(client::MaskedTraceLine(submit), submit);
  EXPECT_EQ(client::MaskedTraceLine("no tab"), "no tab");
}

TEST(ClientOptionsTest, BadArgumentsExitTwoWithAOneLineErrorAndAHint) {
  const std::vector<std::vector<std::string>> bad_lines{
      {},
      {"frobnicate"},
      {"send", "--text", "no destination"},
      {"send", "--to", "1", "--text", "a", "--hex", "00"},
      {"send", "--to", "1", "--hex", "0g"},
      {"send", "--to", "1", "--tlv", "0x10000=00"},
      {"send", "--to", "1", "--tlv", "30=012"},
      {"send", "--to", "1", "--tlv", "no-equals"},
      {"send", "--to", "1", "--schedule", "2026-13-01 10:00"},
      {"send", "--to", "1", "--hex", std::string(512, 'a')},
      {"send", "--to", "1", "--text", "caf\xc3\xa9", "--coding", "1"},
      {"send", "--to", "1", "--text", "x", "--coding", "4"},
      {"send", "--to", "1", "--text", "x", "--encoding", "ucs2", "--coding", "3"},
      {"send", "--to", "1", "--text", "x\xff"},
      {"send", "--to", "1", "--text", "x", "--split", "halves"},
      {"send", "--to", "1", "--password", "a", "--password-file", "/dev/null"},
      {"send", "--to", "1", "--password-file", "/nonexistent/secret"},
      {"send", "--to", "1", "--coding", "256"},
      {"listen", "--port", "0"},
      {"listen", "--bind", "both"},
      {"query", "--from", "1"},
      {"enquire", "--timeout", "0"},
  };
  for (const auto& line : bad_lines) {
    const ClientRun run = RunKorvaneSmpp(line);
    const std::string shown = ::testing::PrintToString(line);
    EXPECT_EQ(run.exit_status, client::kExitUsage) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_NE(run.err.find("Run with --help for more information."), std::string::npos) << shown;
  }
}

TEST(ClientOptionsTest, HelpDocumentsTheExitStatuses) {
  for (const auto& line : std::vector<std::vector<std::string>>{{"--help"}, {"send", "--help"}}) {
    const ClientRun run = RunKorvaneSmpp(line);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("3 cannot connect or bind refused, 4 timeout"), std::string::npos);
  }
}

TEST(ClientOptionsTest, AnUnencodableCharacterIsNamedAndNothingIsSent) {
  const ClientRun run = RunKorvaneSmpp(
      {"send", "--to", "1", "--port", "1", "--text", "caf\xc3\xa9!", "--coding", "1"});
  EXPECT_EQ(run.exit_status, client::kExitUsage);
  EXPECT_NE(run.err.find("--text: U+00E9 '\xc3\xa9' at position 4 cannot be encoded in ASCII"),
            std::string::npos)
      << run.err;
}

TEST(ClientOptionsTest, JsonStringsEscapeQuotesControlsAndNonAsciiCharacters) {
  EXPECT_EQ(client::JsonString("a\"b\\c\n\r\t\x01\x1f\x7f\xc3\xa9 ok"),
            "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\\u007f\\u00e9 ok\"");
  // UTF-8 as its code points, a pair above U+FFFF; a stray octet as itself.
  EXPECT_EQ(client::JsonString("\xd0\x9f\xf0\x9f\x98\x80\xe9"), "\"\\u041f\\ud83d\\ude00\\u00e9\"");
  EXPECT_EQ(client::JsonObject("x", {{"n", int64_t{-5}}, {"b", true}, {"s", std::string("")}}),
            "{\"event\":\"x\",\"n\":-5,\"b\":true,\"s\":\"\"}");
}

}  // namespace
}  // namespace korvane
