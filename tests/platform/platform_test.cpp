// The platform layer: the real socket against a peer on the loopback
// interface, the timer, the event loop passes and the socket error numbers.
#include "korvane/platform.hpp"

#include <gmock/gmock.h>

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

namespace korvane::platform {
namespace {

using namespace std::chrono_literals;
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

TEST_F(AsioTcpSocketTest, ConnectsAndReportsTheLocalEndpoint) {
  AsioTcpSocket socket(loop_, listener_);
  EXPECT_THAT([&] { socket.SendData({1}); }, ::testing::Throws<ComponentError>(::testing::Property(
                                                 &ComponentError::Number, 40006)));
  ConnectToPeer(socket);
  EXPECT_EQ(socket.LocalIPAddress(), "127.0.0.1");
  EXPECT_EQ(socket.LocalPort(), peer_.remote_endpoint().port());
  EXPECT_NE(socket.SocketHandle(), 0);
}

// The peer echoes what it read: enough octets to take several reads and
// writes each way. Each arrival announces exactly what GetData then takes.
TEST_F(AsioTcpSocketTest, CarriesDataBothWaysUntilThePeerCloses) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 1000; ++i) {
    std::vector<uint8_t> pdu(1 + i % 601, static_cast<uint8_t>(i));
    expected.insert(expected.end(), pdu.begin(), pdu.end());
    socket.SendData(std::move(pdu));
  }
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

  peer_.close();
  ASSERT_TRUE(PumpUntil(loop_, [&] { return listener_.closes > 0; }));
  EXPECT_EQ(socket.State(), kSocketClosing);
  EXPECT_TRUE(listener_.errors.empty());
}

// Sends queued behind a write in flight are packed together; one larger
// than a packing block keeps its place among the small ones.
TEST_F(AsioTcpSocketTest, QueuedSendsOfMixedSizesLeaveWholeAndInOrder) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  std::vector<uint8_t> expected;
  const std::size_t sizes[] = {17, 100 * 1024, 25, 60 * 1024, 60 * 1024, 200 * 1024, 1, 17};
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    std::vector<uint8_t> pdu(sizes[i]);
    for (std::size_t k = 0; k < pdu.size(); ++k) pdu[k] = static_cast<uint8_t>(i * 31 + k);
    expected.insert(expected.end(), pdu.begin(), pdu.end());
    socket.SendData(std::move(pdu));
  }
  std::vector<uint8_t> received(expected.size());
  bool read = false;
  asio::async_read(peer_, asio::buffer(received),
                   [&](const std::error_code& error, std::size_t) { read = !error; });
  ASSERT_TRUE(PumpUntil(loop_, [&] { return read; }));
  EXPECT_EQ(received, expected);
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

// Completions that outlive the socket find it detached: no listener call and
// no access to freed memory (the sanitizer build checks the latter).
TEST_F(AsioTcpSocketTest, DestroyingTheSocketMidConnectIsSafe) {
  auto socket = std::make_unique<AsioTcpSocket>(loop_, listener_);
  socket->Connect("127.0.0.1", Port());
  socket.reset();
  acceptor_.close();
  loop_.run();  // returns once every pending completion has run
  EXPECT_TRUE(listener_.errors.empty());
}

// What waits in the socket is counted until the system has taken it, and
// Close drops it: Unbind waits on this count before it closes.
TEST_F(AsioTcpSocketTest, QueuedOutputCountsWhatTheSystemHasNotTakenYet) {
  AsioTcpSocket socket(loop_, listener_);
  ConnectToPeer(socket);
  socket.SendData(std::vector<uint8_t>(100, 1));
  socket.SendData(std::vector<uint8_t>(50, 2));  // behind the write in flight
  EXPECT_EQ(socket.QueuedOutput(), 150u);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return socket.QueuedOutput() == 0; }));
  socket.SendData(std::vector<uint8_t>(10, 3));
  socket.SendData(std::vector<uint8_t>(10, 4));
  socket.Close();
  EXPECT_EQ(socket.QueuedOutput(), 0u);
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
      loop, [&] { return ticks > 3; }, std::chrono::milliseconds(10)));
}

// The yield used inside a handler runs further events of the same loop.
TEST(EventLoopTest, DoEventsInsideAHandlerRunsFurtherEvents) {
  asio::io_context& loop = ThreadEventLoop();
  bool inner_ran = false, outer_done = false;
  asio::post(loop, [&] {
    asio::post(loop, [&] { inner_ran = true; });
    for (int i = 0; i < 100 && !inner_ran; ++i) DoEvents();
    outer_done = inner_ran;
  });
  for (int i = 0; i < 100 && !outer_done; ++i) DoEvents();
  EXPECT_TRUE(outer_done);
}

// Neither a pass on a loop without work (so a caller looping on it never
// spins) nor RunEvents returns early; RunEvents runs events meanwhile.
TEST(EventLoopTest, PassesWaitInsteadOfReturningAtOnce) {
  asio::io_context idle;
  bool ran = false;
  asio::post(ThreadEventLoop(), [&] { ran = true; });
  const auto start = std::chrono::steady_clock::now();
  PumpOnce(idle, 10ms);
  RunEvents(15ms);
  EXPECT_TRUE(ran);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
}

TEST(SocketErrorsTest, ErrorsTakeWinsockNumbersOrAFallbackNamingTheirOrigin) {
  const std::error_code unmapped = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::error_code, int32_t> cases[] = {{asio::error::connection_aborted, 10053},
                                                       {asio::error::connection_reset, 10054},
                                                       {asio::error::eof, 10054},
                                                       {asio::error::timed_out, 10060},
                                                       {asio::error::connection_refused, 10061},
                                                       {asio::error::host_not_found, 11001},
                                                       {unmapped, kUnmappedSocketError}};
  for (const auto& [error, number] : cases) EXPECT_EQ(TranslateSocketError(error).number, number);
  EXPECT_EQ(TranslateSocketError(unmapped).description, unmapped.message() + " (generic 2)");
}

}  // namespace
}  // namespace korvane::platform
