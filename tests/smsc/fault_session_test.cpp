// Injected faults on loopback: the throttle's answer on the wire and the
// program's summary line, a connection dropped at its Nth PDU and the rebind
// guard that follows, a disconnect after the bind.
#include <gtest/gtest.h>

#include <asio/read.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <cstdio>
#include <string>

#include "smsc/engine.hpp"
#include "smsc_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using testing::Hex;
using testing::HexText;

// Writes one PDU on a blocking socket and reads the whole PDU answered.
std::string Exchange(asio::ip::tcp::socket& socket, const std::string& request) {
  asio::write(socket, asio::buffer(Hex(request)));
  Octets pdu(16);
  asio::read(socket, asio::buffer(pdu));
  pdu.resize((uint32_t{pdu[0]} << 24) | (pdu[1] << 16) | (pdu[2] << 8) | pdu[3]);
  asio::read(socket, asio::buffer(pdu.data() + 16, pdu.size() - 16));
  return HexText(pdu);
}

// bind_transmitter of "esme", sequence 1.
const char* const kBindEsme =
    "00 00 00 1B 00 00 00 02 00 00 00 00 00 00 00 01 65 73 6D 65 00 00 00 34 00 00 00";

TEST(SmscProgramTest, AnswersBeyondTheThrottleWithNoMessageIdAndPrintsTheSummaryAtExit) {
  FILE* program = popen("timeout 20 " KORVANE_SMSC_BINARY
                        " --port 0 --quiet --exit-after-unbinds 1 --throttle-tps 1 --seed 5",
                        "r");
  ASSERT_NE(program, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  const std::string prefix = "korvane-smsc listening on 127.0.0.1:";
  ASSERT_EQ(std::string(line).rfind(prefix, 0), 0u) << line;
  asio::io_context io;
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::make_address("127.0.0.1"),
                  static_cast<uint16_t>(std::stoi(line + prefix.size()))});
  EXPECT_EQ(Exchange(socket, kBindEsme).substr(0, 47),
            "00 00 00 1D 80 00 00 02 00 00 00 00 00 00 00 01");
  const struct {
    const char* request;  // submit_sm to "1", text "Hi"; unbind
    const char* answer;
  } rows[] = {
      {"00 00 00 24 00 00 00 04 00 00 00 00 00 00 00 02 00 00 00 00 00 00 31 00 00 00 00 00 00 "
       "00 00 00 00 02 48 69",
       "00 00 00 1B 80 00 00 04 00 00 00 00 00 00 00 02 30 30 30 30 30 30 30 30 30 31 00"},
      {"00 00 00 24 00 00 00 04 00 00 00 00 00 00 00 03 00 00 00 00 00 00 31 00 00 00 00 00 00 "
       "00 00 00 00 02 48 69",
       "00 00 00 10 80 00 00 04 00 00 00 58 00 00 00 03"},
      {"00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04",
       "00 00 00 10 80 00 00 06 00 00 00 00 00 00 00 04"},
  };
  for (const auto& row : rows) EXPECT_EQ(Exchange(socket, row.request), row.answer);
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  EXPECT_STREQ(line,
               "korvane-smsc summary: accepted=1 duplicates=0 throttled=1 queue_full=0 dropped=0 "
               "disconnects=0 rebinds_refused=0\n");
  EXPECT_EQ(pclose(program), 0);
}

MessageObject Text(const std::string& text) {
  MessageObject message;
  message.DestAddress = "447700900123";
  message.ShortMessage = text;
  return message;
}

TEST_F(SmscEngineTest, TheNthPduIsServedUnansweredThenTheRebindIsRefusedUntilAnUnbind) {
  Start({.faults = {.disconnect_every_pdus = 4, .rebind_guard = 60s}});
  Client& dropped = BoundClient(BindTypes::SmppBindAsTransmitter);  // PDU 1
  MessageObject same = Text("same");
  EXPECT_EQ(dropped.smpp.SendMessage(same, true), "0000000001");
  EXPECT_EQ(dropped.smpp.SendMessage(same, true), "0000000002");         // a duplicate
  dropped.smpp.SubmitAsync(Text("fourth"), [](const SubmitResult&) {});  // never answered
  ASSERT_TRUE(PumpUntilEvents(dropped, "ConnectionClosed"));
  asio::io_context io;
  asio::ip::tcp::socket too_soon(io);
  too_soon.connect({asio::ip::make_address("127.0.0.1"), smsc->Port()});
  EXPECT_EQ(Exchange(too_soon, kBindEsme), "00 00 00 10 80 00 00 02 00 00 00 05 00 00 00 01");
  // Another system_id, and one whose binding ended with an unbind, bind at once.
  BoundClient(BindTypes::SmppBindAsTransmitter, "other").smpp.Unbind();
  BoundClient(BindTypes::SmppBindAsTransmitter, "other");
  EXPECT_EQ(smsc->Engine().Counters().SummaryLine(),
            "korvane-smsc summary: accepted=3 duplicates=1 throttled=0 queue_full=0 dropped=0 "
            "disconnects=1 rebinds_refused=1");
}

TEST_F(SmscEngineTest, TheConnectionClosesTheGivenTimeAfterItsBind) {
  Start({.faults = {.disconnect_after_bind = 20ms}});
  ASSERT_TRUE(PumpUntilEvents(BoundClient(BindTypes::SmppBindAsTransceiver), "ConnectionClosed"));
  EXPECT_EQ(smsc->Engine().Counters().Get(FaultCounters::kDisconnects), 1u);
}

}  // namespace
}  // namespace korvane::smsc
