// korvane-smpp, run in-process as a shell runs the binary: one table of
// command lines against the loopback SMSC over real TCP, with the exit status,
// what it printed and what it sent.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "client/exit_codes.hpp"
#include "client/output.hpp"
#include "client/run_client.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using namespace std::string_literals;
using testing::CommandIdOf;
using testing::Hex;
using testing::HexText;
using testing::LoopbackSmsc;
using testing::MakePdu;
using Pdus = std::vector<LoopbackSmsc::Octets>;

// The exit status; what it printed (out, then err), then the hex of what the
// SMSC received, a PDU a line.
using ClientRun = std::pair<int, std::string>;

// Runs korvane-smpp with `line` split at blanks ('~' stands for a blank inside
// an argument); --port is added unless the line has it.
ClientRun RunLine(std::string line, LoopbackSmsc& smsc) {
  const std::size_t at = std::min(line.find(' '), line.size());
  if (line.find("--port") == std::string::npos)
    line.insert(at, " --port " + std::to_string(smsc.Port()));
  std::vector<std::string> words{"korvane-smpp"};
  std::istringstream split(line);
  for (std::string word; split >> word; words.push_back(word))
    std::replace(word.begin(), word.end(), '~', ' ');
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  std::ostringstream out, err;
  ClientRun run{client::RunClient(static_cast<int>(argv.size()), argv.data(), out, err),
                out.str() + err.str()};
  for (const auto& pdu : smsc.Received()) run.second += HexText(pdu) + "\n";
  return run;
}

// A deliver_sm from 4479 to 12345 (optional parameters in hex).
LoopbackSmsc::Octets Delivery(uint8_t esm_class, uint8_t data_coding, const std::string& text,
                              const std::string& tlvs = "") {
  LoopbackSmsc::Octets body = Hex(
      "00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 " +
      HexText({esm_class, 0, 0, 0, 0, 0, 0, data_coding, 0, static_cast<uint8_t>(text.size())}));
  body.insert(body.end(), text.begin(), text.end());
  for (const uint8_t octet : Hex(tlvs)) body.push_back(octet);
  return MakePdu(0x00000005, 0, 7, body);
}

LoopbackSmsc* smsc_now = nullptr;  // the SMSC of the row being run
void CloseNow() { smsc_now->Close(); }

// The default answers, but a submit_sm answered by `on_submit` when given;
// after the answer to a receiving bind, `then` runs and `deliveries` follow.
LoopbackSmsc::Responder Smsc(std::function<Pdus(uint32_t sequence)> on_submit, Pdus deliveries = {},
                             void (*then)() = nullptr) {
  return [=](const LoopbackSmsc::Octets& request) {
    const uint32_t id = CommandIdOf(request);
    if (id == 4 && on_submit) return on_submit(testing::SequenceNumberOf(request));
    Pdus answers = LoopbackSmsc::DefaultAnswer(request, 0);
    if (id != 1 && id != 9) return answers;
    if (then) then();
    answers.insert(answers.end(), deliveries.begin(), deliveries.end());
    return answers;
  };
}
// The answer to submit_sm, a stored receipt of an earlier message, then its own.
Pdus OwnReceipt(uint32_t sequence) {
  const std::string id = "MSG" + std::to_string(sequence);
  return {MakePdu(0x80000004, 0, sequence, testing::Octets(id + '\0')),
          Delivery(0x04, 0, "id:OLD1 stat:DELIVRD"),
          Delivery(0x04, 0, "id:" + id + " sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hi",
                   "00 1E 00 05 " + HexText(testing::Octets(id)) + " 00 04 27 00 01 02")};
}
// For send --count: submit_sm accepted, except the `close_at`th (not
// answered, the connection closed), the 20th (answered `status_20th` when not
// 0) and, when `refuse_odd`, those with an odd sequence number (0x45, never
// retried).
LoopbackSmsc::Responder Load(bool refuse_odd, uint32_t status_20th = 0, int close_at = 0) {
  return Smsc([=, submits = std::make_shared<int>(0)](uint32_t sequence) -> Pdus {
    if (++*submits == close_at) return CloseNow(), Pdus{};
    const uint32_t status = *submits == 20 ? status_20th : refuse_odd && sequence % 2 ? 0x45 : 0;
    return {MakePdu(0x80000004, status, sequence, {'1', 0})};
  });
}

// "40 40 0": the load summary's "messages", "accepted", "refused", ... in JSON.
std::string Summary(const std::string& counts) {
  std::istringstream in(counts);
  std::string json = "{\"event\":\"summary\"";
  for (const char* name : {"messages", "accepted", "refused", "timed_out", "lost", "not_sent"})
    if (std::string count; in >> count) json += ",\"" + std::string(name) + "\":" + count;
  return json + ",";
}

struct Row {
  int exit_status;
  std::string line;
  std::string expected = "";  // '|' between pieces, each found in what it printed or sent
  LoopbackSmsc::Responder responder = {};
};

TEST(ClientTest, RunsAgainstTheLoopbackSmsc) {
  const std::string password_file = ::testing::TempDir() + "korvane-password";
  std::ofstream(password_file) << "filepw\n";
  const int closed_port = LoopbackSmsc().Port();  // gone at once
  const Pdus parts = {Delivery(0x40, 8, "\x05\x00\x03\x2A\x02\x02\x00\x21"s),
                      Delivery(0x40, 8, "\x05\x00\x03\x2A\x02\x01\x04\x1F\x04\x40\x04\x38"s)};
  std::vector<Row> rows = {
      {0,
       "send --to 447700900123 --from Korvane --from-ton 5 --text Hi --coding 3 "
       "--registered-delivery 1 --validity-seconds 60 --tlv 0x1403=0102 --tlv 30=41 --wait",
       "message id: MSG4\n|00 00 00 51 00 00 00 04 00 00 00 00 00 00 00 04 "
       "00 05 00 4B 6F 72 76 61 6E 65 00 00 00 34 34 37 37 30 30 39 30 30 31 32 33 00 "
       "00 00 00 00 30 30 30 30 30 30 30 30 30 30 36 30 30 30 30 52 00 "
       "01 00 03 00 02 48 69 14 03 00 02 01 02 00 1E 00 01 41\n"
       "|00 00 00 02 00 00 00 00 00 00 00 01 |00 00 00 10 00 00 00 06"},
      {0, "send --to 111 --to 222 --list staff --hex CAFE --payload --wait --json",
       "{\"event\":\"message_id\",\"id\":\"MSG4\"}\n|00 00 00 21 |01 00 00 31 31 31 00 01 00 00 "
       "32 32 32 00 02 73 74 61 66 66 00|04 24 00 02 CA FE\n"},
      // Scheduled: the local time given, in tenths, then the zone's suffix; Latin-1.
      {0,
       "send --to 1 --text \xc3\xa9 --encoding latin1 --schedule 2030-01-02~03:04:05 --protocol-id "
       "65",
       "00 41 00 33 30 30 31 30 32 30 33 30 34 30 35 30 |03 00 01 E9"},
      {1, "send --to 1 --text x --wait",
       "submit_sm failed: Protocol Error : Submit SM Submit Failed",
       Smsc([](uint32_t sequence) { return Pdus{MakePdu(0x80000004, 0x45, sequence)}; })},
      {3, "enquire", "bind refused by 127.0.0.1:|Invalid Password",
       [](const LoopbackSmsc::Octets& request) {
         CloseNow();  // as an SMSC does after refusing
         return LoopbackSmsc::DefaultAnswer(request, 0x0E);
       }},
      // The password from $KORVANE_SMPP_PASSWORD, or a file (first) masked in
      // the trace.
      {0, "enquire --system-id me", "6D 65 00 65 6E 76 70 77 00"},
      {3, "enquire --port " + std::to_string(closed_port),
       "cannot connect to 127.0.0.1:" + std::to_string(closed_port) +
           "|is the SMSC running? check --host/--port"},
      {0, "query --id MSG9 --from 4479",
       "message MSG9: DELIVERED (2), final date none, error code 0\n|4D 53 47 39 00 00 00 34 34 37 "
       "39 00\n"},
      {0, "cancel --id MSG9 --json", "{\"event\":\"cancelled\",\"id\":\"MSG9\"}"},
      {0, "enquire --system-id me --trace --password-file " + password_file,
       "link ok: 127.0.0.1:| answered enquire_link\n|6D 65 00 ** ** ** ** ** ** 00|"
       "6D 65 00 66 69 6C 65 70 77 00"},
      // A receipt is printed and acknowledged, then the client unbinds.
      {0, "listen --count 1 --for 5",
       "receipt for MSG4: DELIVERED, err 000, submitted 1, delivered 1 (id:MSG4 sub:001 "
       "dlvrd:001 stat:DELIVRD err:000 text:Hello)\n|"
       "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00\n00 00 00 10 00 00 00 06",
       Smsc({}, {Delivery(0x04, 0, "id:MSG4 sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hello",
                          "00 1E 00 05 4D 53 47 34 00 04 27 00 01 02")})},
      // An interrupt ends listening with an unbind.
      {0, "listen --for 5", "00 00 00 1C 00 00 00 01 |\n00 00 00 10 00 00 00 06",
       Smsc({}, {}, [] { kill(getpid(), SIGINT); })},
      // The wait goes on past a stored receipt until the one naming this
      // submission's id; it binds as transceiver and asks for a receipt.
      {0, "send --to 4479 --text Hi --wait-receipt",
       "message id: MSG|receipt for OLD1: DELIVERED (id:OLD1 stat:DELIVRD)\n"
       "|: DELIVERED, err 000, submitted 1, delivered 1 (id:MSG"
       "|00 00 00 1C 00 00 00 09 |00 00 01 00 00 00 02 48 69",
       Smsc(OwnReceipt)},
      {4, "send --to 4479 --text Hi --wait-receipt", "no delivery receipt",
       Smsc([](uint32_t sequence) {
         CloseNow();
         return Pdus{MakePdu(0x80000004, 0, sequence, {'7', 0})};
       })},
      // Encodings and splitting.
      {0, "send --to 1 --wait --json --text " + std::string(200, 'a'),
       "\"part\":1,\"parts\":2}|\"part\":2,\"parts\":2}"
       "|31 00 40 00 00 00 00 00 00 00 00 9F 05 00 03 | 02 02 61 61"},
      {0, "send --to 1 --text \xd0\x9f --coding 8", "08 00 02 04 1F"},
      {0, "send --to 1 --split sar --text " + std::string(161, 'b'),
       "02 0E 00 01 02 02 0F 00 01 01"},
      {0, "send --to 1 --hex 0102 --coding 4", "04 00 02 01 02"},
      // Received texts: reassembled once whole, escaped; incomplete when the
      // connection ends.
      {0, "listen --count 1 --for 5 --json",
       "\"esm_class\":64,\"text\":\"\\u041f\\u0440\\u0438!\",\"parts\":2}", Smsc({}, parts)},
      {1, "listen --count 2 --for 5",
       "message from 4479 to 12345: Hi \\n\\r\n"
       "incomplete message from 4479 to 12345 (3 parts), only part(s) 2: \\n\n"
       "|the SMSC closed the connection after 2 message(s)",
       Smsc({},
            {Delivery(0x00, 0, "Hi\x1b\x1b\n\r"),
             Delivery(0x00, 0, "\n", "02 0C 00 02 00 05 02 0E 00 01 03 02 0F 00 01 02")},
            CloseNow)},
      {2, "send --to 1 --text caf\xc3\xa9! --coding 1",
       "--text: U+00E9 '\xc3\xa9' at position 4 cannot be encoded in ASCII"},
      // send --count N --window W: every message goes once, numbered; only
      // all accepted exits 0. A throttle answer is sent again.
      // Bound again after a close, the unanswered one is lost, never sent
      // again, and the queued one goes on; without --reconnect the run ends.
      {0, "send --to 1 --text n{n} --json --count 40 --window 8",
       Summary("40 40 0 0 0 0") + "\"retried\":0,|02 6E 31\n|03 6E 34 30\n", Load(false)},
      {1, "send --to 1 --text n --json --count 22 --window 1 --tps=500",
       Summary("22 12 10 0 0 0") + "\"retried\":1,", Load(true, 0x58)},
      {1, "send --to 1 --text n --json --count 20 --window 1 --reconnect", Summary("20 19 0 0 1 0"),
       Load(false, 0, 10)},
      {1, "send --to 1 --text n --json --count 20 --window 1", Summary("20 9 0 0 1 10"),
       Load(false, 0, 10)},
  };
  // Bad command lines: exit 2, one line and a hint.
  std::istringstream bad(
      "|frobnicate|send --text no~destination|send --to 1 --text a --hex 00|send --to 1 --hex 0g|"
      "send --to 1 --tlv 30=012|send --to 1 --schedule 2026-13-01~10:00|"
      "send --to 1 --text x --coding 4|send --to 1 --text x --encoding ucs2 --coding 3|"
      "send --to 1 --text x\xff|send --to 1 --password-file /nonexistent/secret|"
      "send --to 1 --text x --window 4|send --to 4479 --text Hi --wait-receipt --bind tx|"
      "listen --bind both|query --from 1|send --to 1 --hex " +
      std::string(512, 'a'));
  for (std::string line; std::getline(bad, line, '|');)
    rows.push_back({client::kExitUsage, line, "Run with --help for more information."});
  setenv("KORVANE_SMPP_PASSWORD", "envpw", 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    LoopbackSmsc smsc;
    smsc_now = &smsc;
    smsc.SetResponder(row.responder);
    const ClientRun run = RunLine(row.line, smsc);
    EXPECT_EQ(run.first, row.exit_status) << run.second;
    std::istringstream pieces(row.expected);
    for (std::string piece; std::getline(pieces, piece, '|');)
      EXPECT_NE(run.second.find(piece), std::string::npos) << piece << "\n" << run.second;
  }
  unsetenv("KORVANE_SMPP_PASSWORD");
}

TEST(ClientTest, JsonEscaping) {
  EXPECT_EQ(client::JsonString("a\"b\\c\n\r\t\x01\x1f\x7f\xc3\xa9 \xf0\x9f\x98\x80\xe9"),
            "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\\u007f\\u00e9 \\ud83d\\ude00\\u00e9\"");
  EXPECT_EQ(client::JsonObject("x", {{"n", int64_t{-5}}, {"b", true}, {"s", std::string("")}}),
            "{\"event\":\"x\",\"n\":-5,\"b\":true,\"s\":\"\"}");
}

}  // namespace
}  // namespace korvane
