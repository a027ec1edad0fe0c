// The connection fails under the session: the peer closes or resets it in the
// middle of a PDU or of a wait, nobody listens, or nobody accepts.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
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

// The SMSC goes away while bound: the close is reported, a Bind is refused
// at once (10061), and a Bind to a live SMSC works again.
TEST_F(ConnectionFaultsTest, BindAfterTheSmscWentAwayIsRefusedAndThenRecovers) {
  auto vanishing = std::make_unique<testing::LoopbackSmsc>();
  smpp.SMPPServerPort(vanishing->Port());
  BindAs(BindTypes::SmppBindAsTransceiver);
  vanishing.reset();
  ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));

  const auto start = steady_clock::now();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransceiver), 0);
  EXPECT_LT(steady_clock::now() - start, milliseconds(900));  // not the connection timeout
  EXPECT_EQ(events.Names(), (Names{"ConnectionClosed", "Error"}));
  EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{10061});

  smpp.SMPPServerPort(smsc.Port());
  BindAs(BindTypes::SmppBindAsReceiver);
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
