// Injected faults on loopback: the throttle's answer on the wire, a
// connection dropped at its Nth PDU and the rebind guard that follows, a
// disconnect after the bind, and the program's summary line.
#include <gtest/gtest.h>

#include <asio/connect.hpp>
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

// One whole PDU read from a blocking socket.
Octets ReadPdu(asio::ip::tcp::socket& socket) {
  Octets pdu(16);
  asio::read(socket, asio::buffer(pdu));
  const uint32_t length = (uint32_t{pdu[0]} << 24) | (pdu[1] << 16) | (pdu[2] << 8) | pdu[3];
  pdu.resize(length);
  asio::read(socket, asio::buffer(pdu.data() + 16, length - 16));
  return pdu;
}

// bind_transmitter of "esme", sequence 1.
const Octets kBindEsme =
    Hex("00 00 00 1B 00 00 00 02 00 00 00 00 00 00 00 01 65 73 6D 65 00 00 00 34 00 00 00");

// A blocking socket connected to the simulator.
asio::ip::tcp::socket Connect(asio::io_context& io, uint16_t port) {
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::make_address("127.0.0.1"), port});
  return socket;
}

TEST(SmscFaultWireTest, ASubmissionBeyondTheLimitIsAnsweredThrottledWithNoMessageId) {
  RunningSmsc smsc({.faults = {.throttle_tps = 1}});
  asio::io_context io;
  asio::ip::tcp::socket socket = Connect(io, smsc.Port());
  asio::write(socket, asio::buffer(kBindEsme));
  EXPECT_EQ(HexText(ReadPdu(socket)).substr(0, 47),
            "00 00 00 1D 80 00 00 02 00 00 00 00 00 00 00 01");
  const auto submit = [](uint8_t sequence) {  // to "1", text "Hi"
    Octets pdu =
        Hex("00 00 00 24 00 00 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 31 00"
            " 00 00 00 00 00 00 00 00 00 02 48 69");
    pdu[15] = sequence;
    return pdu;
  };
  asio::write(socket, asio::buffer(submit(2)));
  asio::write(socket, asio::buffer(submit(3)));
  EXPECT_EQ(HexText(ReadPdu(socket)),
            "00 00 00 1B 80 00 00 04 00 00 00 00 00 00 00 02"
            " 30 30 30 30 30 30 30 30 30 31 00");
  EXPECT_EQ(HexText(ReadPdu(socket)), "00 00 00 10 80 00 00 04 00 00 00 58 00 00 00 03");
  EXPECT_EQ(smsc.Engine().Counters().Get(FaultCounters::kThrottled), 1u);
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
  asio::ip::tcp::socket too_soon = Connect(io, smsc->Port());
  asio::write(too_soon, asio::buffer(kBindEsme));
  EXPECT_EQ(HexText(ReadPdu(too_soon)), "00 00 00 10 80 00 00 02 00 00 00 05 00 00 00 01");
  // Another system_id, and one whose binding ended with an unbind, bind at once.
  Client& other = BoundClient(BindTypes::SmppBindAsTransmitter, "other");
  other.smpp.Unbind();
  BoundClient(BindTypes::SmppBindAsTransmitter, "other");

  const FaultCounters& counters = smsc->Engine().Counters();
  EXPECT_EQ(counters.Get(FaultCounters::kAccepted), 3u);
  EXPECT_EQ(smsc->Engine().Duplicates(), 1u);
  EXPECT_EQ(counters.Get(FaultCounters::kDisconnects), 1u);
  EXPECT_EQ(counters.Get(FaultCounters::kRebindsRefused), 1u);
}

TEST_F(SmscEngineTest, TheConnectionClosesTheGivenTimeAfterItsBind) {
  Start({.faults = {.disconnect_after_bind = 20ms}});
  Client& client = BoundClient(BindTypes::SmppBindAsTransceiver);
  ASSERT_TRUE(PumpUntilEvents(client, "ConnectionClosed"));
  EXPECT_EQ(smsc->Engine().Counters().Get(FaultCounters::kDisconnects), 1u);
}

// With a fault option the program ends with its summary line.
TEST(SmscProgramTest, PrintsTheSummaryLineAtExitWhenFaultsAreSet) {
  FILE* program = popen("timeout 20 " KORVANE_SMSC_BINARY
                        " --port 0 --quiet --exit-after-unbinds 1 --throttle-tps 1 --seed 5",
                        "r");
  ASSERT_NE(program, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  const std::string text = line;
  const std::string prefix = "korvane-smsc listening on 127.0.0.1:";
  ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
  {
    asio::io_context loop;
    Client client(loop, static_cast<uint16_t>(std::stoi(text.substr(prefix.size()))), "esme", "");
    EXPECT_EQ(client.smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
    MessageObject message = Text("once");
    EXPECT_EQ(client.smpp.SendMessage(message, true), "0000000001");
    EXPECT_EQ(client.smpp.SendMessage(message, true), "");  // throttled
    EXPECT_EQ(client.events.Named("Error").at(0).number, 27000 + 0x58);
    client.smpp.Unbind();
  }
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  EXPECT_STREQ(line,
               "korvane-smsc summary: accepted=1 duplicates=0 throttled=1 queue_full=0 dropped=0 "
               "disconnects=0 rebinds_refused=0\n");
  EXPECT_EQ(pclose(program), 0);
}

}  // namespace
}  // namespace korvane::smsc
