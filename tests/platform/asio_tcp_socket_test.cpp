// The real socket against a peer on the loopback interface, both on one loop.
#include "platform/asio_tcp_socket.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "korvane/errors.hpp"
#include "support/pump_until.hpp"

namespace korvane::platform {
namespace {

using asio::ip::tcp;
using korvane::testing::PumpUntil;

struct RecordingListener : SocketListener {
  void OnSocketClose() override { ++closes; }
  void OnSocketDataArrival(std::size_t waiting) override {
    ++arrivals;
    last_waiting = waiting;
    if (on_arrival) on_arrival();
  }
  void OnSocketError(int32_t number, const std::string& description) override {
    errors.push_back(number);
    last_description = description;
  }
  int closes = 0;
  int arrivals = 0;
  std::size_t last_waiting = 0;
  std::vector<int32_t> errors;
  std::string last_description;
  std::function<void()> on_arrival;
};

class AsioTcpSocketTest : public ::testing::Test {
 protected:
  AsioTcpSocketTest() : acceptor_(loop_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    acceptor_.async_accept(peer_, [this](const std::error_code& error) { accepted_ = !error; });
  }

  int32_t Port() const { return acceptor_.local_endpoint().port(); }

  // Connects the socket under test and waits for the peer to be accepted.
  void ConnectToPeer(AsioTcpSocket& socket, const std::string& host = "127.0.0.1") {
    socket.Connect(host, Port());
    ASSERT_TRUE(PumpUntil(loop_, [&] { return accepted_ && socket.State() == kSocketConnected; }));
  }

  asio::io_context loop_;
  tcp::acceptor acceptor_;
  tcp::socket peer_{loop_};
  bool accepted_ = false;
  RecordingListener listener_;
};

TEST_F(AsioTcpSocketTest, ConnectReportsStateAndLocalEndpoint) {
  AsioTcpSocket socket(loop_, listener_);
  EXPECT_EQ(socket.State(), kSocketClosed);
  EXPECT_EQ(socket.SocketHandle(), 0);
  EXPECT_EQ(socket.LocalIPAddress(), "");
  socket.Connect("127.0.0.1", Port());
  EXPECT_EQ(socket.State(), kSocketResolvingHost);
  ConnectToPeer(socket);
  EXPECT_EQ(socket.LocalIPAddress(), "127.0.0.1");
  EXPECT_EQ(socket.LocalPort(), peer_.remote_endpoint().port());
  EXPECT_NE(socket.SocketHandle(), 0);
  socket.Close();
  EXPECT_EQ(socket.State(), kSocketClosed);
  EXPECT_EQ(socket.SocketHandle(), 0);
  EXPECT_TRUE(listener_.errors.empty());
  EXPECT_EQ(listener_.closes, 0);
}

TEST_F(AsioTcpSocketTest, ConnectBindsTheLocalPortThatWasSet) {
  tcp::acceptor probe(loop_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const uint16_t free_port = probe.local_endpoint().port();
  probe.close();
  AsioTcpSocket socket(loop_, listener_);
  socket.LocalPort(free_port);
  ConnectToPeer(socket, "localhost");
  EXPECT_EQ(peer_.remote_endpoint().port(), free_port);
  EXPECT_EQ(socket.LocalPort(), free_port);
  EXPECT_THROW(socket.LocalPort(65536), ComponentError);
}

TEST_F(AsioTcpSocketTest, ThousandSendsArriveInOrderAndIntact) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 1000; ++i) {
    std::vector<uint8_t> pdu(1 + i % 97, static_cast<uint8_t>(i));
    expected.insert(expected.end(), pdu.begin(), pdu.end());
    socket.SendData(std::move(pdu));
  }
  std::vector<uint8_t> received(expected.size());
  bool done = false;
  asio::async_read(peer_, asio::buffer(received),
                   [&](const std::error_code& error, std::size_t) { done = !error; });
  ASSERT_TRUE(PumpUntil(loop_, [&] { return done; }));
  EXPECT_EQ(received, expected);
}

TEST_F(AsioTcpSocketTest, PeerDataArrivesAndGetDataTakesAllOfIt) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  std::vector<uint8_t> sent(300000);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> collected;
  listener_.on_arrival = [&] {
    const std::vector<uint8_t> piece = socket.GetData();
    EXPECT_EQ(piece.size(), listener_.last_waiting);
    collected.insert(collected.end(), piece.begin(), piece.end());
  };
  asio::async_write(peer_, asio::buffer(sent), [](const std::error_code&, std::size_t) {});
  ASSERT_TRUE(PumpUntil(loop_, [&] { return collected.size() == sent.size(); }));
  EXPECT_EQ(collected, sent);
  EXPECT_TRUE(socket.GetData().empty());
}

TEST_F(AsioTcpSocketTest, PeerCloseNotifiesOnceAndLeavesStateClosing) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  peer_.close();
  ASSERT_TRUE(PumpUntil(loop_, [&] { return listener_.closes > 0; }));
  EXPECT_EQ(socket.State(), kSocketClosing);
  EXPECT_EQ(listener_.closes, 1);
  EXPECT_TRUE(listener_.errors.empty());
  EXPECT_THROW(socket.SendData({1}), ComponentError);
}

TEST_F(AsioTcpSocketTest, CloseDropsWaitingInputSilently) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  asio::write(peer_, asio::buffer("abc", 3));
  peer_.close();
  socket.Close();
  EXPECT_FALSE(PumpUntil(
      loop_, [&] { return listener_.arrivals + listener_.closes > 0; },
      std::chrono::milliseconds(20)));
  EXPECT_TRUE(socket.GetData().empty());
  EXPECT_TRUE(listener_.errors.empty());
}

TEST_F(AsioTcpSocketTest, ConnectToAClosedPortIsRefused) {
  const int32_t port = Port();
  acceptor_.close();
  AsioTcpSocket socket(loop_, listener_);
  socket.Connect("127.0.0.1", port);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !listener_.errors.empty(); }));
  EXPECT_EQ(listener_.errors, std::vector<int32_t>{10061});
  EXPECT_EQ(socket.State(), kSocketError);
}

TEST_F(AsioTcpSocketTest, RemotePortOutOfRangeFailsAsInvalidArgument) {
  AsioTcpSocket socket(loop_, listener_);
  socket.Connect("127.0.0.1", 70000);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !listener_.errors.empty(); }));
  EXPECT_EQ(listener_.errors, std::vector<int32_t>{10022});
  EXPECT_EQ(socket.State(), kSocketError);
}

TEST_F(AsioTcpSocketTest, UnresolvableHostIsHostNotFound) {
  AsioTcpSocket socket(loop_, listener_);
  socket.Connect("no-such-host.invalid", 2775);
  if (!PumpUntil(loop_, [&] { return !listener_.errors.empty(); })) {
    GTEST_SKIP() << "name resolution is too slow on this machine";
  }
  EXPECT_EQ(listener_.errors, std::vector<int32_t>{11001});
  EXPECT_EQ(socket.State(), kSocketError);
}

TEST_F(AsioTcpSocketTest, SendWhenNotConnectedThrowsTheBadStateError) {
  AsioTcpSocket socket(loop_, listener_);
  try {
    socket.SendData({1, 2, 3});
    FAIL() << "no error";
  } catch (const ComponentError& error) {
    EXPECT_EQ(error.Number(), 40006);
  }
}

// Completions that outlive the socket find it detached: no listener call and
// no access to freed memory (the sanitizer build checks the latter).
TEST_F(AsioTcpSocketTest, DestroyingTheSocketWithOperationsPendingIsSafe) {
  auto resolving = std::make_unique<AsioTcpSocket>(loop_, listener_);
  resolving->Connect("127.0.0.1", Port());
  resolving.reset();

  auto connected = std::make_unique<AsioTcpSocket>(loop_, listener_);
  ConnectToPeer(*connected);
  connected->SendData(std::vector<uint8_t>(1 << 20, 0x55));
  listener_.on_arrival = [&] { connected.reset(); };
  asio::write(peer_, asio::buffer("x", 1));
  ASSERT_TRUE(PumpUntil(loop_, [&] { return connected == nullptr; }));
  peer_.close();
  loop_.run_for(std::chrono::milliseconds(20));
  EXPECT_EQ(listener_.arrivals, 1);
  EXPECT_TRUE(listener_.errors.empty());
}

}  // namespace
}  // namespace korvane::platform
