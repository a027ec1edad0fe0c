// The platform layer: the real socket against the loopback interface, the
// timer, the event loop passes and the socket error numbers. (Data over real
// TCP and its faults: tests/faults.)
#include "korvane/platform.hpp"

#include <gtest/gtest.h>

#include <asio/error.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>

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
using korvane::testing::PumpUntil;

struct RecordingListener : SocketListener {
  void OnSocketClose() override {}
  void OnSocketDataArrival(std::size_t) override {}
  void OnSocketError(int32_t number, const std::string&) override { errors.push_back(number); }
  std::vector<int32_t> errors;
};

// Sending before a connect is refused; a socket destroyed mid-connect is
// detached: no listener call and no access to freed memory (the sanitizer
// build checks the latter); a connect to a closed port is refused.
TEST(AsioTcpSocketTest, DestructionMidConnectRefusalAndErrorNumbers) {
  asio::io_context loop;
  RecordingListener listener;
  asio::ip::tcp::acceptor acceptor(loop, {asio::ip::make_address("127.0.0.1"), 0});
  const int32_t port = acceptor.local_endpoint().port();
  auto gone = std::make_unique<AsioTcpSocket>(loop, listener);
  EXPECT_EQ(korvane::testing::ErrorNumberOf([&] { gone->SendData({1}); }), 40006);
  gone->Connect("127.0.0.1", port);
  gone.reset();
  acceptor.close();
  AsioTcpSocket refused(loop, listener);
  refused.Connect("127.0.0.1", port);
  ASSERT_TRUE(PumpUntil(loop, [&] { return !listener.errors.empty(); }));
  EXPECT_EQ(listener.errors, std::vector<int32_t>{10061});
  EXPECT_EQ(refused.State(), kSocketError);
  // Error numbers: Winsock's, or a fallback naming their origin. (A reset and
  // a refusal: tests/faults and the refusal above.)
  const std::error_code unmapped = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::error_code, int32_t> cases[] = {{asio::error::eof, 10054},
                                                       {asio::error::host_not_found, 11001},
                                                       {unmapped, kUnmappedSocketError}};
  for (const auto& [error, number] : cases) EXPECT_EQ(TranslateSocketError(error).number, number);
  EXPECT_EQ(TranslateSocketError(unmapped).description, unmapped.message() + " (generic 2)");
}

// Disabling inside a tick must also cancel the re-arm that precedes it.
TEST(EventLoopTest, TimerTicksNestedYieldsAndPassesThatWait) {
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
  // The yield used inside a handler runs further events of the same loop;
  // neither a pass on a loop without work (so a caller looping on it never
  // spins) nor RunEvents returns early, and RunEvents runs events meanwhile.
  bool inner_ran = false, outer_done = false;
  asio::post(ThreadEventLoop(), [&] {
    asio::post(ThreadEventLoop(), [&] { inner_ran = true; });
    DoEvents();
    outer_done = inner_ran;
  });
  asio::io_context idle;
  const auto start = std::chrono::steady_clock::now();
  PumpOnce(idle, 2ms);
  RunEvents(3ms);
  EXPECT_TRUE(outer_done);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 5ms);
}

}  // namespace
}  // namespace korvane::platform
