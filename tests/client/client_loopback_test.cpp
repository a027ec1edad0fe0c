// korvane-smpp against the loopback SMSC over real TCP: what it sends, what
// it prints, and its exit statuses.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "client/exit_codes.hpp"
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
constexpr uint32_t kBindTransmitter = 0x00000002;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kDeliverSm = 0x00000005;
constexpr uint32_t kUnbind = 0x00000006;
constexpr uint32_t kSubmitMulti = 0x00000021;

// A deliver_sm from 4479 to 12345 with esm_class `esm_class`, body `text`
// and optional parameters `tlvs` (hex).
std::vector<uint8_t> DeliverSm(uint8_t esm_class, const std::string& text, const std::string& tlvs,
                               uint8_t data_coding = 0) {
  std::vector<uint8_t> body = Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00");
  body.push_back(esm_class);
  for (const uint8_t octet : Hex("00 00 00 00 00 00")) body.push_back(octet);
  body.push_back(data_coding);
  body.push_back(0);
  body.push_back(static_cast<uint8_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  for (const uint8_t octet : Hex(tlvs)) body.push_back(octet);
  return MakePdu(kDeliverSm, 0, 7, body);
}

class ClientLoopbackTest : public ::testing::Test {
 protected:
  // Runs `command` with `options` against the SMSC, a 1 s timeout.
  testing::ClientRun Run(const std::string& command, std::vector<std::string> options = {}) {
    options.insert(options.begin(),
                   {command, "--port", std::to_string(smsc.Port()), "--timeout", "1"});
    return testing::RunKorvaneSmpp(options);
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

  // Answers a bind with its response followed by `then`.
  void AfterBind(std::function<void()> then, std::vector<uint8_t> pdu = {}) {
    smsc.SetResponder([then, pdu](const LoopbackSmsc::Octets& request) {
      auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
      if (CommandIdOf(request) == kBindReceiver || CommandIdOf(request) == kBindTransceiver) {
        if (!pdu.empty()) answers.push_back(pdu);
        if (then) then();
      }
      return answers;
    });
  }

  LoopbackSmsc smsc;
};

TEST_F(ClientLoopbackTest, SendWaitPrintsTheIdOfASubmitWithExactlyTheFieldsGiven) {
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

TEST_F(ClientLoopbackTest, SeveralDestinationsMakeOneSubmitMultiAndASchedulePassesThrough) {
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

TEST_F(ClientLoopbackTest, ARefusedOrUnansweredSubmitFails) {
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

TEST_F(ClientLoopbackTest, ConnectAndBindFailuresSayWhatToDo) {
  int closed_port = 0;
  {
    LoopbackSmsc gone;
    closed_port = gone.Port();
  }
  auto run = testing::RunKorvaneSmpp({"enquire", "--port", std::to_string(closed_port)});
  EXPECT_EQ(run.exit_status, client::kExitBindFailure);
  EXPECT_NE(run.err.find("cannot connect to 127.0.0.1:" + std::to_string(closed_port)),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("is the SMSC running? check --host/--port"), std::string::npos);

  smsc.SetBindStatus(0x0E);
  run = Run("enquire");
  EXPECT_EQ(run.exit_status, client::kExitBindFailure);
  EXPECT_NE(run.err.find("bind refused by 127.0.0.1:"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Invalid Password"), std::string::npos) << run.err;
}

TEST_F(ClientLoopbackTest, QueryCancelAndEnquirePrintTheAnswers) {
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

TEST_F(ClientLoopbackTest, ListenPrintsAReceiptAndAcknowledgesIt) {
  AfterBind(nullptr, DeliverSm(0x04, "id:MSG4 sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hello",
                               "00 1E 00 05 4D 53 47 34 00 04 27 00 01 02"));
  const auto run = Run("listen", {"--count", "1", "--for", "5"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "receipt for MSG4: DELIVERED, err 000, submitted 1, delivered 1 (id:MSG4 sub:001 "
            "dlvrd:001 stat:DELIVRD err:000 text:Hello)\n");
  EXPECT_EQ(SentCommands(), (std::vector<uint32_t>{kBindReceiver, 0x80000005, kUnbind}));
}

TEST_F(ClientLoopbackTest, ListenEndsOnAnInterruptAndUnbinds) {
  AfterBind([] { kill(getpid(), SIGINT); });
  const auto run = Run("listen", {"--for", "5"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(SentCommands(), (std::vector<uint32_t>{kBindReceiver, kUnbind}));
}

TEST_F(ClientLoopbackTest, SendWaitReceiptBindsAsTransceiverAndWaitsForItsOwnReceipt) {
  // A stored receipt of an earlier message comes first; the wait goes on
  // until the one naming this submission's id.
  smsc.SetResponder([](const LoopbackSmsc::Octets& request) {
    auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
    if (CommandIdOf(request) != kSubmitSm) return answers;
    const std::string id = "MSG" + std::to_string(testing::SequenceNumberOf(request));
    answers.push_back(DeliverSm(0x04, "id:OLD1 stat:DELIVRD", ""));
    answers.push_back(
        DeliverSm(0x04, "id:" + id + " sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hi",
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

}  // namespace
}  // namespace korvane
