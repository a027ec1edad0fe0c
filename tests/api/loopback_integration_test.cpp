// The public session against the loopback SMSC over real TCP: the library's
// own loop on the test thread, the SMSC on its own thread.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <chrono>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_fixture.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;
using testing::Hex;
using testing::PumpUntil;
using Names = std::vector<std::string>;

const std::vector<uint8_t> kLinkOk = Hex("00 00 00 10 80 00 00 15 00 00 00 00 00 00 00 01");
const std::vector<uint8_t> kUnbindResp = Hex("00 00 00 10 80 00 00 06 00 00 00 00 00 00 00 04");
const std::vector<uint8_t> kEnquireLink1 = Hex("00 00 00 10 00 00 00 15 00 00 00 00 00 00 00 01");
const std::vector<uint8_t> kUnbindSeq4 = Hex("00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04");

using LoopbackTest = testing::LoopbackFixture;

TEST_F(LoopbackTest, BindsAsEachTypeAndRebindsOnANewConnection) {
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  EXPECT_TRUE(smpp.ConnectedAndBound);
  ASSERT_TRUE(smsc.WaitForReceived(1));
  EXPECT_EQ(smsc.Received()[0], Hex("00 00 00 1A 00 00 00 02 00 00 00 00 00 00 00 01 "
                                    "61 62 63 00 00 00 34 01 01 00"));
  EXPECT_EQ(events.Names(), Names{"Bound"});
  EXPECT_EQ(smpp.LocalIPAddress(), "127.0.0.1");
  EXPECT_NE(smpp.SocketHandle(), 0);
  EXPECT_NE(smpp.LocalTCPPort(), 0);

  // Each further Bind unbinds the open binding and connects anew.
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsReceiver), 1);
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransceiver), 3);
  EXPECT_TRUE(smpp.ConnectedAndBound);
  EXPECT_EQ(smsc.ConnectionCount(), 3);
  ASSERT_TRUE(smsc.WaitForReceived(5));
  const auto received = smsc.Received();
  EXPECT_EQ(received[1], kUnbindSeq4);
  std::vector<uint32_t> ids;
  for (const auto& pdu : received) ids.push_back(testing::CommandIdOf(pdu));
  EXPECT_EQ(ids, (std::vector<uint32_t>{0x02, 0x06, 0x01, 0x06, 0x09}));
  EXPECT_EQ(events.Names(), (Names{"Bound", "UnBound", "Bound", "UnBound", "Bound"}));
}

TEST_F(LoopbackTest, RefusedBindReportsTheStatusAndReturnsZeroAfterTheTimeout) {
  smsc.SetBindStatus(0x0D);
  const auto start = steady_clock::now();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_GE(steady_clock::now() - start, milliseconds(900));
  EXPECT_FALSE(smpp.ConnectedAndBound);
  std::vector<int32_t> numbers;
  for (const auto& error : events.Named("Error")) numbers.push_back(error.number);
  EXPECT_EQ(numbers, (std::vector<int32_t>{27013, 29002}));
}

TEST_F(LoopbackTest, EnquireLinksInBothDirections) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.Send(Hex("00 00 00 10 00 00 00 15 00 00 00 00 00 00 01 2C"));
  ASSERT_TRUE(PumpUntilReceived(2));
  EXPECT_EQ(smsc.Received()[1], Hex("00 00 00 10 80 00 00 15 00 00 00 00 00 00 01 2C"));
  ASSERT_EQ(events.Names(), Names{"Warning"});
  EXPECT_EQ(events.events[0].number, 28282);
  EXPECT_EQ(events.events[0].source, "KvSmpp");
  EXPECT_EQ(events.events[0].text, "Server sent EnquireLink");

  events.events.clear();
  EXPECT_TRUE(smpp.EnquireLink());
  ASSERT_TRUE(PumpUntilEvent("LinkOk"));
  EXPECT_EQ(smsc.Received().at(2), kEnquireLink1);
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
}

TEST_F(LoopbackTest, PdusAreCutFromTheStreamWholeAndInOrder) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  // One PDU in three writes, then two PDUs in one write.
  smsc.Send({kLinkOk.begin(), kLinkOk.begin() + 4});
  smsc.Send({kLinkOk.begin() + 4, kLinkOk.begin() + 14});
  smsc.Send({kLinkOk.begin() + 14, kLinkOk.end()});
  std::vector<uint8_t> two = kLinkOk;
  two.insert(two.end(), kUnbindResp.begin(), kUnbindResp.end());
  smsc.Send(two);
  ASSERT_TRUE(PumpUntilEvent("UnBound"));
  EXPECT_EQ(events.Names(), (Names{"LinkOk", "LinkOk", "UnBound"}));
}

TEST_F(LoopbackTest, ZeroCommandLengthClosesTheConnectionAndBindWorksAgain) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.Send(Hex("00 00 00 00 80 00 00 15 00 00 00 00 00 00 00 01"));
  ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
  ASSERT_EQ(events.Names(), (Names{"Error", "ConnectionClosed"}));
  EXPECT_EQ(events.events[0].number, 29984);
  EXPECT_EQ(events.events[0].text.rfind("Invalid command_length 0 received", 0), 0u)
      << events.events[0].text;
  EXPECT_FALSE(smpp.ConnectedAndBound);

  events.events.clear();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  EXPECT_EQ(smsc.ConnectionCount(), 2);
  smsc.Send(kLinkOk);
  ASSERT_TRUE(PumpUntilEvent("LinkOk"));
  EXPECT_EQ(events.Names(), (Names{"Bound", "LinkOk"}));
}

TEST_F(LoopbackTest, ClosingInsideAPduDropsItsOctetsWithTheConnection) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.Send({kLinkOk.begin(), kLinkOk.begin() + 10});
  smsc.Close();
  ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
  EXPECT_EQ(events.Names(), Names{"ConnectionClosed"});
  EXPECT_FALSE(smpp.ConnectedAndBound);

  // The new connection starts with an empty buffer.
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.Send(kLinkOk);
  ASSERT_TRUE(PumpUntilEvent("LinkOk"));
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
}

TEST_F(LoopbackTest, AResetConnectionIsReportedAsTheSocketsError) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.Reset();
  ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
  ASSERT_EQ(events.Names(), (Names{"Error", "ConnectionClosed"}));
  EXPECT_EQ(events.events[0].number, 10054);
  EXPECT_EQ(events.events[0].source, "Winsock");
  EXPECT_FALSE(smpp.ConnectedAndBound);
}

TEST_F(LoopbackTest, ARefusedConnectionReturnsZeroAtOnce) {
  asio::ip::tcp::acceptor closed(loop, {asio::ip::make_address("127.0.0.1"), 0});
  const auto port = closed.local_endpoint().port();
  closed.close();
  smpp.SMPPServerPort(port);
  const auto start = steady_clock::now();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_LT(steady_clock::now() - start, milliseconds(900));  // not the connection timeout
  ASSERT_EQ(events.Names(), Names{"Error"});
  EXPECT_EQ(events.events[0].number, 10061);
  EXPECT_EQ(events.events[0].source, "Winsock");
  EXPECT_FALSE(smpp.ConnectedAndBound);
}

// Processor time of the whole process so far, user plus system.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds_of = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

TEST_F(LoopbackTest, WaitingForAnUnansweredBindDoesNotSpin) {
  smsc.SetSilent(true);
  const double before = ProcessorSeconds();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_LT(ProcessorSeconds() - before, 0.3);  // a spinning wait uses about 1 s
  EXPECT_TRUE(smsc.WaitForReceived(1));
  smsc.SetSilent(false);  // lets the destructor's unbind be answered
}

}  // namespace
}  // namespace korvane
