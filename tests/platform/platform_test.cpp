// The platform layer: the real socket against a peer on the loopback
// interface, the timer, the event loop passes and the socket error numbers.
#include "korvane/platform.hpp"

#include <gtest/gtest.h>

#include <asio/error.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "korvane/errors.hpp"
#include "korvane/event_loop.hpp"
#include "platform/asio_tcp_socket.hpp"
#include "platform/asio_timer.hpp"
#include "platform/event_loop.hpp"
#include "platform/socket_errors.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::platform {
namespace {

using namespace std::chrono_literals;
using korvane::testing::ErrorNumberOf;
using korvane::testing::PumpUntil;

using asio::ip::tcp;

struct RecordingListener : SocketListener {
  void OnSocketClose() override { ++closes; }
  void OnSocketDataArrival(std::size_t waiting) override { on_arrival(waiting); }
  void OnSocketError(int32_t number, const std::string&) override { errors.push_back(number); }
  int closes = 0;
  std::vector<int32_t> errors;
  std::function<void(std::size_t)> on_arrival = [](std::size_t) {};
};

class AsioTcpSocketTest : public ::testing::Test {
 protected:
  AsioTcpSocketTest() : acceptor_(loop_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    acceptor_.async_accept(peer_, [this](const std::error_code& error) { accepted_ = !error; });
  }

  int32_t Port() const { return acceptor_.local_endpoint().port(); }

  void ConnectToPeer(AsioTcpSocket& socket) {
    socket.Connect("127.0.0.1", Port());
    ASSERT_TRUE(PumpUntil(loop_, [&] { return accepted_ && socket.State() == kSocketConnected; }));
  }

  asio::io_context loop_;
  tcp::acceptor acceptor_;
  tcp::socket peer_{loop_};
  bool accepted_ = false;
  RecordingListener listener_;
};

// Sends queued behind a write in flight are packed together, one larger than
// a packing block keeping its place; what the system has not taken yet is
// counted. The peer echoes it all; each arrival announces exactly what
// GetData then takes. Then the peer closes.
TEST_F(AsioTcpSocketTest, CarriesDataBothWaysUntilThePeerCloses) {
  AsioTcpSocket socket(loop_, listener_);
  EXPECT_EQ(ErrorNumberOf([&] { socket.SendData({1}); }), 40006);
  ConnectToPeer(socket);
  EXPECT_EQ(socket.LocalIPAddress() + ":" + std::to_string(socket.LocalPort()),
            "127.0.0.1:" + std::to_string(peer_.remote_endpoint().port()));
  std::vector<uint8_t> expected;
  const std::size_t sizes[] = {17, 100 * 1024, 25, 60 * 1024, 60 * 1024, 200 * 1024, 1, 17};
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    std::vector<uint8_t> pdu(sizes[i]);
    for (std::size_t k = 0; k < pdu.size(); ++k) pdu[k] = static_cast<uint8_t>(i * 31 + k);
    expected.insert(expected.end(), pdu.begin(), pdu.end());
    socket.SendData(std::move(pdu));
  }
  EXPECT_EQ(socket.QueuedOutput(), expected.size());
  std::vector<uint8_t> echoed(expected.size());
  asio::async_read(peer_, asio::buffer(echoed), [&](const std::error_code&, std::size_t) {
    asio::async_write(peer_, asio::buffer(echoed), [](const std::error_code&, std::size_t) {});
  });
  std::vector<uint8_t> collected;
  listener_.on_arrival = [&](std::size_t waiting) {
    const std::vector<uint8_t> piece = socket.GetData();
    EXPECT_EQ(piece.size(), waiting);
    collected.insert(collected.end(), piece.begin(), piece.end());
  };
  ASSERT_TRUE(PumpUntil(loop_, [&] { return collected.size() == expected.size(); }));
  EXPECT_EQ(collected, expected);
  EXPECT_EQ(socket.QueuedOutput(), 0u);
  peer_.close();
  ASSERT_TRUE(PumpUntil(loop_, [&] { return listener_.closes > 0; }));
  EXPECT_EQ(socket.State(), kSocketClosing);
  EXPECT_TRUE(listener_.errors.empty());
}

// Close drops what waits; a connect to a closed port is refused; a socket
// destroyed mid-connect is detached: no listener call and no access to freed
// memory (the sanitizer build checks the latter).
TEST_F(AsioTcpSocketTest, CloseRefusalAndDestructionMidConnect) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  socket.SendData(std::vector<uint8_t>(10, 3));
  socket.SendData(std::vector<uint8_t>(10, 4));
  socket.Close();
  EXPECT_EQ(socket.QueuedOutput(), 0u);
  auto gone = std::make_unique<AsioTcpSocket>(loop_, listener_);
  gone->Connect("127.0.0.1", Port());
  gone.reset();
  const int32_t port = Port();
  acceptor_.close();
  AsioTcpSocket refused(loop_, listener_);
  refused.Connect("127.0.0.1", port);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !listener_.errors.empty(); }));
  EXPECT_EQ(listener_.errors, std::vector<int32_t>{10061});
  EXPECT_EQ(refused.State(), kSocketError);
}

// Disabling inside a tick must also cancel the re-arm that precedes it.
TEST(AsioTimerTest, TicksEveryIntervalUntilDisabled) {
  asio::io_context loop;
  int ticks = 0;
  AsioTimer timer(loop, [&] {
    if (++ticks == 3) timer.Enabled(false);
  });
  timer.Interval(1);
  timer.Enabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks == 3; }));
  EXPECT_FALSE(PumpUntil(
      loop, [&] { return ticks > 3; }, 5ms));
}

// The yield used inside a handler runs further events of the same loop;
// neither a pass on a loop without work (so a caller looping on it never
// spins) nor RunEvents returns early, and RunEvents runs events meanwhile.
TEST(EventLoopTest, NestedYieldsAndPassesThatWait) {
  asio::io_context& loop = ThreadEventLoop();
  bool inner_ran = false, outer_done = false;
  asio::post(loop, [&] {
    asio::post(loop, [&] { inner_ran = true; });
    for (int i = 0; i < 100 && !inner_ran; ++i) DoEvents();
    outer_done = inner_ran;
  });
  for (int i = 0; i < 100 && !outer_done; ++i) DoEvents();
  EXPECT_TRUE(outer_done);
  asio::io_context idle;
  bool ran = false;
  asio::post(loop, [&] { ran = true; });
  const auto start = std::chrono::steady_clock::now();
  PumpOnce(idle, 2ms);
  RunEvents(3ms);
  EXPECT_TRUE(ran);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 5ms);
}

TEST(SocketErrorsTest, WinsockNumbersOrAFallbackNamingTheirOrigin) {
  const std::error_code unmapped = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::error_code, int32_t> cases[] = {{asio::error::connection_reset, 10054},
                                                       {asio::error::eof, 10054},
                                                       {asio::error::connection_refused, 10061},
                                                       {asio::error::host_not_found, 11001},
                                                       {unmapped, kUnmappedSocketError}};
  for (const auto& [error, number] : cases) EXPECT_EQ(TranslateSocketError(error).number, number);
  EXPECT_EQ(TranslateSocketError(unmapped).description, unmapped.message() + " (generic 2)");
}

}  // namespace
}  // namespace korvane::platform
