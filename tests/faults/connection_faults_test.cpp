// The connection fails under the session: the peer closes or resets it in the
// middle of a PDU, or nobody accepts. (A refused connect is the platform
// tests' case.)
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "faults/faults_fixture.hpp"
#include "support/unaccepting_listener.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using testing::DeliverSm;
using testing::PumpUntil;
using Names = std::vector<std::string>;

using ConnectionFaultsTest = testing::FaultsFixture;

// Half a PDU, then FIN or RST: the octets go with the connection, nothing is
// raised or acknowledged for them, and the next connection starts clean.
TEST_F(ConnectionFaultsTest, PeerEndingInsideAPduRaisesNothingForIt) {
  const std::vector<uint8_t> whole = DeliverSm(7, "cut short");
  for (const bool reset : {false, true}) {
    for (const std::size_t cut : {2u, 4u, 15u, 16u, 30u}) {
      SCOPED_TRACE((reset ? "reset after " : "close after ") + std::to_string(cut));
      BindAs(BindTypes::SmppBindAsTransceiver);
      const std::size_t received_before = smsc.ReceivedCount();
      smsc.Send({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)});
      reset ? smsc.Reset() : smsc.Close();
      ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
      EXPECT_EQ(events.Names(),
                reset ? (Names{"Error", "ConnectionClosed"}) : Names{"ConnectionClosed"});
      if (reset) {
        EXPECT_EQ(events.events[0].number, 10054);
      }
      EXPECT_FALSE(smpp.ConnectedAndBound);
      EXPECT_EQ(smsc.ReceivedCount(), received_before);  // no deliver_sm_resp
    }
  }
  // The last connection's leftover octets are not in front of this one's.
  BindAs(BindTypes::SmppBindAsReceiver);
  smsc.Send(DeliverSm(8, "whole"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  EXPECT_EQ(events.Names(), Names{"MessageReceived"});
  EXPECT_EQ(events.events[0].message.SequenceNumber, 8);
}

// Nobody accepts and the kernel drops the SYNs: the connect wait ends after
// ConnectionTimeout with Bind returning 0; no event, since the socket
// reported nothing.
TEST_F(ConnectionFaultsTest, ConnectThatNeverCompletesEndsAfterTheConnectionTimeout) {
  testing::FullBacklogListener listener;
  ASSERT_TRUE(listener.Full()) << "the accept queue could not be filled";
  smpp.SMPPServerPort(listener.Port());
  const auto start = steady_clock::now();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_GE(steady_clock::now() - start, milliseconds(900));  // ConnectionTimeout is 1 s
  EXPECT_EQ(events.Names(), Names{});
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(smpp.SocketHandle(), 0);  // the attempt was abandoned

  smpp.SMPPServerPort(smsc.Port());
  BindAs(BindTypes::SmppBindAsTransmitter);
}

}  // namespace
}  // namespace korvane
