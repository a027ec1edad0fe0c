#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using testing::Hex;
using testing::MakePdu;

using Names = std::vector<std::string>;

class TransportTest : public testing::SessionFixture {
 protected:
  void SetUp() override { BindAs(BindTypes::SmppBindAsTransceiver); }
  const std::vector<uint8_t> link_ok_ = MakePdu(0x80000015, 0, 1);
};

TEST_F(TransportTest, PdusAreHandledOnceWholeAndInArrivalOrder) {
  socket.Receive(std::vector<uint8_t>(link_ok_.begin(), link_ok_.begin() + 4));
  socket.Receive(std::vector<uint8_t>(link_ok_.begin() + 4, link_ok_.begin() + 14));
  EXPECT_TRUE(events.events.empty());
  socket.Receive(std::vector<uint8_t>(link_ok_.begin() + 14, link_ok_.end()));
  EXPECT_EQ(events.Names(), Names{"LinkOk"});

  // Two PDUs and the first octets of a third in one arrival.
  events.events.clear();
  std::vector<uint8_t> stream = link_ok_;
  const auto unbind_resp = MakePdu(0x80000006, 0, 4);
  stream.insert(stream.end(), unbind_resp.begin(), unbind_resp.end());
  stream.insert(stream.end(), link_ok_.begin(), link_ok_.begin() + 3);
  socket.Receive(stream);
  EXPECT_EQ(events.Names(), (Names{"LinkOk", "UnBound"}));
  socket.Receive(std::vector<uint8_t>(link_ok_.begin() + 3, link_ok_.end()));
  EXPECT_EQ(events.Names(), (Names{"LinkOk", "UnBound", "LinkOk"}));
}

TEST_F(TransportTest, ABrokenLengthIsReportedAndClosesTheConnection) {
  std::vector<uint8_t> stream = link_ok_;
  stream.insert(stream.end(), {0, 0, 0, 0, 0x80, 0, 0, 0x15});
  socket.Receive(stream);
  ASSERT_EQ(events.Names(), (Names{"LinkOk", "Error", "ConnectionClosed"}));
  EXPECT_EQ(events.events[1].number, 29984);
  EXPECT_EQ(events.events[1].text,
            "Invalid command_length 0 received (allowed 16 to 262144). Connection closed");
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(socket.State(), platform::kSocketClosed);

  // The next connection starts clean.
  events.events.clear();
  ASSERT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  socket.Receive(link_ok_);
  EXPECT_EQ(events.Names(), (Names{"Bound", "LinkOk"}));
}

TEST_F(TransportTest, PendingOctetsDoNotOutliveTheirConnection) {
  // Ended by the peer, then from this side by an unanswered unbind.
  const std::vector<std::function<void()>> endings = {[&] { socket.PeerClose(); },
                                                      [&] {
                                                        socket.AnswerWith(nullptr);
                                                        smpp.OperationsTimeout(1);
                                                        smpp.Unbind();
                                                      }};
  for (const auto& end_connection : endings) {
    socket.Receive(std::vector<uint8_t>(link_ok_.begin(), link_ok_.begin() + 7));
    end_connection();
    EXPECT_FALSE(smpp.ConnectedAndBound);
    AnswerLikeAnSmsc();
    ASSERT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
    events.events.clear();
    socket.Receive(link_ok_);
    EXPECT_EQ(events.Names(), Names{"LinkOk"});
  }
}

// An aborted connection warns, any other failure is an error; either ends
// the binding and closes the socket.
TEST_F(TransportTest, AFailedConnectionIsReportedAndEndsTheBinding) {
  for (const auto& [number, text, summary] :
       {std::tuple{10053, "Connection aborted",
                   "ConnectionClosed, Warning#10053[Winsock]{Connection aborted}"},
        std::tuple{10054, "Connection reset by peer",
                   "Error#10054[Winsock]{Connection reset by peer}, ConnectionClosed"}}) {
    BindAs(BindTypes::SmppBindAsTransceiver);
    socket.Fail(number, text);
    EXPECT_EQ(events.Summary(), summary);
    EXPECT_FALSE(smpp.ConnectedAndBound);
    EXPECT_EQ(socket.State(), platform::kSocketClosed);
  }
}

TEST_F(TransportTest, AHostMayBindAgainFromTheHandlerOfALostConnection) {
  for (const char* trigger : {"Error", "ConnectionClosed"}) {
    bool rebound = false;
    events.on_event = [&](const testing::RecordedEvent& e) {
      if (e.name == trigger && !rebound) rebound = smpp.Bind(BindTypes::SmppBindAsTransceiver) == 3;
    };
    socket.Fail(10054, "Connection reset by peer");
    EXPECT_TRUE(rebound) << trigger;
    EXPECT_TRUE(smpp.ConnectedAndBound) << trigger;
    EXPECT_EQ(socket.State(), platform::kSocketConnected) << trigger;
  }
  events.on_event = nullptr;
}

TEST_F(TransportTest, SocketPropertiesComeFromTheConnection) {
  EXPECT_EQ(smpp.LocalIPAddress(), "127.0.0.1");
  EXPECT_EQ(smpp.LocalTCPPort(), testing::ScriptedSocket::kEphemeralPort);
  EXPECT_NE(smpp.SocketHandle(), 0);
  smpp.Unbind();
  EXPECT_EQ(smpp.LocalIPAddress(), "");
  EXPECT_EQ(smpp.SocketHandle(), 0);
  smpp.LocalTCPPort(40000);
  EXPECT_EQ(smpp.LocalTCPPort(), 40000);
  smpp.LocalTCPPort(70000);
  EXPECT_EQ(events.Named("Error").at(0).number, 380);
  EXPECT_EQ(smpp.LocalTCPPort(), 40000);
}

}  // namespace
}  // namespace korvane
