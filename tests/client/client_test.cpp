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
#include "client_runner.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::ClientRun;
using testing::CommandIdOf;
using testing::Hex;
using testing::HexText;
using testing::LoopbackSmsc;
using testing::MakePdu;
using testing::RunKorvaneSmpp;

constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kSubmitSm = 0x00000004;

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

using Pdus = std::vector<LoopbackSmsc::Octets>;

// The SMSC's answers: the default ones, a refused bind, or with `extra`
// answers (given the request) added after them.
LoopbackSmsc::Responder Answers(std::function<Pdus(const LoopbackSmsc::Octets&)> extra,
                                uint32_t bind_status = 0) {
  return [extra, bind_status](const LoopbackSmsc::Octets& request) {
    Pdus answers = LoopbackSmsc::DefaultAnswer(request, bind_status);
    if (extra) {
      for (auto& pdu : extra(request)) answers.push_back(pdu);
    }
    return answers;
  };
}

// Deliveries (and an action) right after the answer to a receiving bind.
LoopbackSmsc::Responder AfterBind(Pdus deliveries, std::function<void()> then = {}) {
  return Answers([deliveries, then](const LoopbackSmsc::Octets& request) {
    const uint32_t id = CommandIdOf(request);
    if (id != kBindReceiver && id != kBindTransceiver) return Pdus{};
    if (then) then();
    return deliveries;
  });
}

// The submit_sm answered by `answers` instead (its resp included).
LoopbackSmsc::Responder OnSubmit(std::function<Pdus(uint32_t sequence)> answers) {
  return [answers](const LoopbackSmsc::Octets& request) {
    if (CommandIdOf(request) != kSubmitSm) return LoopbackSmsc::DefaultAnswer(request, 0);
    return answers(testing::SequenceNumberOf(request));
  };
}

// A receipt for MSG<sequence> after its submit_sm_resp, behind a stored
// receipt of an earlier message.
Pdus OwnReceipt(uint32_t sequence) {
  const std::string id = "MSG" + std::to_string(sequence);
  return {MakePdu(0x80000004, 0, sequence, testing::Octets(id + '\0')),
          Delivery(0x04, 0, "id:OLD1 stat:DELIVRD"),
          Delivery(0x04, 0, "id:" + id + " sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hi",
                   "00 1E 00 05 " + HexText(testing::Octets(id)) + " 00 04 27 00 01 02")};
}

struct RunRow {
  std::vector<std::string> arguments;  // the command first; port and timeout are added
  int exit_status;
  std::vector<std::string> printed;  // each found in what it printed (out, then err)
  std::vector<std::string> sent;     // each found in the hex of what it sent, a PDU a line
  LoopbackSmsc::Responder responder = {};
};

// One run of korvane-smpp per row, each against a fresh SMSC.
TEST(ClientTest, RunsAgainstTheLoopbackSmsc) {
  const std::string wait_receipt[] = {"send", "--to", "4479", "--text", "Hi", "--wait-receipt"};
  const std::vector<RunRow> rows = {
      {{"send",
        "--to",
        "447700900123",
        "--from",
        "Korvane",
        "--from-ton",
        "5",
        "--text",
        "Hi",
        "--coding",
        "3",
        "--registered-delivery",
        "1",
        "--validity-seconds",
        "60",
        "--tlv",
        "0x1403=0102",
        "--tlv",
        "30=41",
        "--wait"},
       0,
       {"message id: MSG4\n"},
       {"00 00 00 51 00 00 00 04 00 00 00 00 00 00 00 04 "
        "00 05 00 4B 6F 72 76 61 6E 65 00 00 00 34 34 37 37 30 30 39 30 30 31 32 33 00 "
        "00 00 00 00 30 30 30 30 30 30 30 30 30 30 36 30 30 30 30 52 00 "
        "01 00 03 00 02 48 69 14 03 00 02 01 02 00 1E 00 01 41\n",
        "00 00 00 02 00 00 00 00 00 00 00 01 ", "00 00 00 10 00 00 00 06"}},
      {{"send", "--to", "111", "--to", "222", "--list", "staff", "--hex", "CAFE", "--payload",
        "--wait", "--json"},
       0,
       {"{\"event\":\"message_id\",\"id\":\"MSG4\"}\n"},
       {"00 00 00 3A 00 00 00 21 00 00 00 00 00 00 00 04 00 00 00 00 03 "
        "01 00 00 31 31 31 00 01 00 00 32 32 32 00 02 73 74 61 66 66 00 "
        "00 00 00 00 00 00 00 00 00 00 04 24 00 02 CA FE\n"}},
      // Scheduled: the local time given, in tenths, then the zone's suffix.
      {{"send", "--to", "1", "--text", "x", "--schedule", "2030-01-02 03:04:05"},
       0,
       {},
       {"00 33 30 30 31 30 32 30 33 30 34 30 35 30 "}},
      {{"send", "--to", "1", "--text", "x", "--wait"},
       client::kExitFailure,
       {"submit_sm failed: Protocol Error : Submit SM Submit Failed"},
       {},
       OnSubmit([](uint32_t sequence) { return Pdus{MakePdu(0x80000004, 0x45, sequence)}; })},
      {{"send", "--to", "1", "--text", "x", "--wait"},
       client::kExitTimeout,
       {"no answer to submit_sm within 1 s"},
       {},
       OnSubmit([](uint32_t) { return Pdus{}; })},
      {{"enquire"},
       client::kExitBindFailure,
       {"bind refused by 127.0.0.1:", "Invalid Password"},
       {},
       Answers(nullptr, 0x0E)},
      {{"query", "--id", "MSG9", "--from", "4479"},
       0,
       {"message MSG9: DELIVERED (2), final date none, error code 0\n"},
       {"00 00 00 1C 00 00 00 03 00 00 00 00 00 00 00 04 4D 53 47 39 00 00 00 34 34 37 39 00\n"}},
      {{"cancel", "--id", "MSG9", "--json"}, 0, {"{\"event\":\"cancelled\",\"id\":\"MSG9\"}"}, {}},
      {{"enquire"}, 0, {"link ok: 127.0.0.1:", " answered enquire_link\n"}, {}},
      // A receipt is printed and acknowledged, then the client unbinds.
      {{"listen", "--count", "1", "--for", "5"},
       0,
       {"receipt for MSG4: DELIVERED, err 000, submitted 1, delivered 1 (id:MSG4 sub:001 "
        "dlvrd:001 stat:DELIVRD err:000 text:Hello)\n"},
       {"00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00\n00 00 00 10 00 00 00 06"},
       AfterBind({Delivery(0x04, 0, "id:MSG4 sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hello",
                           "00 1E 00 05 4D 53 47 34 00 04 27 00 01 02")})},
      // An interrupt ends listening with an unbind.
      {{"listen", "--for", "5"},
       0,
       {},
       {"00 00 00 17 00 00 00 01 ", "\n00 00 00 10 00 00 00 06"},
       AfterBind({}, [] { kill(getpid(), SIGINT); })},
      // The wait goes on past a stored receipt until the one naming this
      // submission's id; it binds as transceiver and asks for a receipt.
      {{wait_receipt, wait_receipt + 6},
       0,
       {"message id: MSG", "receipt for OLD1: DELIVERED (id:OLD1 stat:DELIVRD)\n",
        ": DELIVERED, err 000, submitted 1, delivered 1 (id:MSG"},
       {"00 00 00 17 00 00 00 09 ", "00 00 01 00 00 00 02 48 69"},
       OnSubmit(OwnReceipt)},
      {{wait_receipt, wait_receipt + 6}, 4, {"no delivery receipt"}, {}},
      {{"send", "--to", "4479", "--text", "Hi", "--wait-receipt", "--bind", "tx"}, 2, {}, {}},
      // Encodings and splitting.
      {{"send", "--to", "1", "--text", std::string(200, 'a'), "--wait", "--json"},
       0,
       {"\"part\":1,\"parts\":2}", "\"part\":2,\"parts\":2}"},
       {"31 00 40 00 00 00 00 00 00 00 00 9F 05 00 03 ", " 02 02 61 61"}},
      {{"send", "--to", "1", "--text", "\xd0\x9f\xd1\x80\xd0\xb8"},
       0,
       {},
       {"08 00 06 04 1F 04 40 04 38"}},
      {{"send", "--to", "1", "--text", "\xd0\x9f", "--coding", "8"}, 0, {}, {"08 00 02 04 1F"}},
      {{"send", "--to", "1", "--text", "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac"},
       0,
       {},
       {"00 00 08 47 72 7E 1E 65 20 1B 65"}},
      {{"send", "--to", "1", "--text", "\xc3\xa9", "--encoding", "latin1"}, 0, {}, {"03 00 01 E9"}},
      {{"send", "--to", "1", "--text", "\xc3\xa9", "--encoding", "ucs2"},
       0,
       {},
       {"08 00 02 00 E9"}},
      {{"send", "--to", "1", "--text", "x", "--protocol-id", "65"},
       0,
       {},
       {"00 41 00 00 00 00 00 00 00 01 78"}},
      {{"send", "--to", "1", "--text", std::string(161, 'b'), "--split", "sar"},
       0,
       {},
       {"02 0E 00 01 02 02 0F 00 01 01"}},
      {{"send", "--to", "1", "--text", std::string(161, 'b'), "--split", "udh16"},
       0,
       {},
       {"06 08 04"}},
      {{"send", "--to", "1", "--text", std::string(300, 'b'), "--split", "payload"},
       0,
       {},
       {"00 00 00 04 24 01 2C 62"}},
      {{"send", "--to", "1", "--hex", "0102", "--coding", "4"}, 0, {}, {"04 00 02 01 02"}},
      // Received texts: reassembled once whole, incomplete, escaped.
      {{"listen", "--count", "1", "--for", "5", "--json"},
       0,
       {"\"esm_class\":64,\"text\":\"\\u041f\\u0440\\u0438!\",\"parts\":2}"},
       {},
       AfterBind({Delivery(0x40, 8, Hex("05 00 03 2A 02 02 00 21")),
                  Delivery(0x40, 8, Hex("05 00 03 2A 02 01 04 1F 04 40 04 38"))})},
      {{"listen", "--count", "1", "--for", "5"},
       0,
       {"message from 4479 to 12345 (2 parts): \xd0\x9f\xd1\x80\xd0\xb8!\n"},
       {},
       AfterBind({Delivery(0x40, 8, Hex("05 00 03 2A 02 02 00 21")),
                  Delivery(0x40, 8, Hex("05 00 03 2A 02 01 04 1F 04 40 04 38"))})},
      {{"listen", "--count", "2", "--for", "1"},
       0,
       {"message from 4479 to 12345: Hi \\n\\r\n"
        "incomplete message from 4479 to 12345 (3 parts), only part(s) 2: \\n\n"},
       {},
       AfterBind(
           {Delivery(0x00, 0, Hex("48 69 1B 1B 0A 0D")),
            Delivery(0x00, 0, Hex("0A"), "02 0C 00 02 00 05 02 0E 00 01 03 02 0F 00 01 02")})},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    LoopbackSmsc smsc;
    smsc.SetResponder(row.responder);
    std::vector<std::string> arguments = row.arguments;
    arguments.insert(arguments.begin() + 1,
                     {"--port", std::to_string(smsc.Port()), "--timeout", "1"});
    const ClientRun run = RunKorvaneSmpp(arguments);
    EXPECT_EQ(run.exit_status, row.exit_status) << run.err;
    for (const std::string& text : row.printed)
      EXPECT_NE((run.out + run.err).find(text), std::string::npos) << run.out << run.err;
    std::string sent;
    for (const auto& pdu : smsc.Received()) sent += HexText(pdu) + "\n";
    for (const std::string& hex : row.sent) EXPECT_NE(sent.find(hex), std::string::npos) << sent;
  }
}

TEST(ClientTest, AClosedPortSaysWhatToDo) {
  int closed_port = 0;
  {
    LoopbackSmsc gone;
    closed_port = gone.Port();
  }
  const auto run = RunKorvaneSmpp({"enquire", "--port", std::to_string(closed_port)});
  EXPECT_EQ(run.exit_status, client::kExitBindFailure);
  EXPECT_NE(run.err.find("cannot connect to 127.0.0.1:" + std::to_string(closed_port)),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("is the SMSC running? check --host/--port"), std::string::npos);
}

TEST(ClientTest, ThePasswordComesFromAFileOrTheEnvironmentAndTracesMaskIt) {
  LoopbackSmsc smsc;
  const std::string port = std::to_string(smsc.Port());
  const std::string file = ::testing::TempDir() + "korvane-password";
  std::ofstream(file) << "filepw\n";
  auto run = RunKorvaneSmpp(
      {"enquire", "--port", port, "--system-id", "me", "--password-file", file, "--trace"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(HexText(smsc.Received()[0]).find("6D 65 00 66 69 6C 65 70 77 00"), std::string::npos);
  EXPECT_EQ(run.err.find("66 69 6C 65 70 77"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("6D 65 00 ** ** ** ** ** ** 00"), std::string::npos) << run.err;

  setenv("KORVANE_SMPP_PASSWORD", "envpw", 1);
  run = RunKorvaneSmpp({"enquire", "--port", port, "--system-id", "me"});
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
