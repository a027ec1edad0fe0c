// korvane-smpp's text handling against the loopback SMSC: encoding and
// splitting on send, decoding and reassembly on listen, and credentials.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "client/client_session.hpp"
#include "client_runner.hpp"
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
constexpr uint32_t kSubmitSm = 0x00000004;

// A deliver_sm from 4479 to 12345: esm_class, data_coding, body and TLVs.
std::vector<uint8_t> Delivery(uint8_t esm_class, uint8_t data_coding, const std::string& body_hex,
                              const std::string& tlvs = "") {
  std::vector<uint8_t> body = Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00");
  body.push_back(esm_class);
  for (const uint8_t octet : Hex("00 00 00 00 00 00")) body.push_back(octet);
  body.push_back(data_coding);
  body.push_back(0);
  const std::vector<uint8_t> short_message = Hex(body_hex);
  body.push_back(static_cast<uint8_t>(short_message.size()));
  body.insert(body.end(), short_message.begin(), short_message.end());
  for (const uint8_t octet : Hex(tlvs)) body.push_back(octet);
  return MakePdu(0x00000005, 0, 7, body);
}

class ClientTextTest : public ::testing::Test {
 protected:
  testing::ClientRun Run(const std::string& command, std::vector<std::string> options = {}) {
    options.insert(options.begin(),
                   {command, "--port", std::to_string(smsc.Port()), "--timeout", "1"});
    return testing::RunKorvaneSmpp(options);
  }

  std::vector<std::vector<uint8_t>> Submits() const {
    std::vector<std::vector<uint8_t>> submits;
    for (const auto& pdu : smsc.Received())
      if (CommandIdOf(pdu) == kSubmitSm) submits.push_back(pdu);
    return submits;
  }

  // Sends `deliveries` right after the bind's answer.
  void AfterBind(std::vector<std::vector<uint8_t>> deliveries) {
    smsc.SetResponder([deliveries](const LoopbackSmsc::Octets& request) {
      auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
      if (CommandIdOf(request) == kBindReceiver)
        answers.insert(answers.end(), deliveries.begin(), deliveries.end());
      return answers;
    });
  }

  LoopbackSmsc smsc;
};

TEST_F(ClientTextTest, ALongTextGoesInPartsEachWithItsId) {
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

class ClientSendTable : public ClientTextTest, public ::testing::WithParamInterface<SendRow> {};

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

TEST_F(ClientTextTest, ListenPrintsAConcatenatedMessageOnceWhenWhole) {
  AfterBind({Delivery(0x40, 8, "05 00 03 2A 02 02 00 21"),
             Delivery(0x40, 8, "05 00 03 2A 02 01 04 1F 04 40 04 38")});
  auto run = Run("listen", {"--count", "1", "--for", "5", "--json"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("\"esm_class\":64,\"text\":\"\\u041f\\u0440\\u0438!\",\"parts\":2}"),
            std::string::npos)
      << run.out;

  run = Run("listen", {"--count", "1", "--for", "5"});
  EXPECT_EQ(run.out, "message from 4479 to 12345 (2 parts): \xd0\x9f\xd1\x80\xd0\xb8!\n");
}

TEST_F(ClientTextTest, ListenShowsWhatCameOfAnIncompleteMessageAndEscapesControls) {
  AfterBind({Delivery(0x00, 0, "48 69 1B 1B 0A 0D"),
             Delivery(0x00, 0, "0A", "02 0C 00 02 00 05 02 0E 00 01 03 02 0F 00 01 02")});
  const auto run = Run("listen", {"--count", "2", "--for", "1"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "message from 4479 to 12345: Hi \\n\\r\n"
            "incomplete message from 4479 to 12345 (3 parts), only part(s) 2: \\n\n");
}

TEST_F(ClientTextTest, ThePasswordComesFromAFileOrTheEnvironmentAndTracesMaskIt) {
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

}  // namespace
}  // namespace korvane
