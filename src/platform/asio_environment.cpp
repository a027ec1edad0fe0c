// The default environment: the operating system's clocks and time zone, and
// timers and sockets that run on one Asio loop, whose pass of event
// processing is the yield.
#include <asio/io_context.hpp>

#include "korvane/platform.hpp"
#include "platform/asio_tcp_socket.hpp"
#include "platform/asio_timer.hpp"
#include "platform/event_loop.hpp"
#include "platform/system_clock.hpp"

namespace korvane::platform {
namespace {

class AsioEnvironment final : public Environment {
 public:
  explicit AsioEnvironment(asio::io_context& loop) : loop_(loop) {}

  std::chrono::steady_clock::time_point MonotonicNow() override {
    return std::chrono::steady_clock::now();
  }
  DateTime LocalNow() override { return SystemLocalNow(); }
  double SecondsSinceMidnight() override { return SystemSecondsSinceMidnight(); }
  int32_t LocalTimeZoneBiasMinutes() override { return SystemTimeZoneBiasMinutes(); }

  void Yield() override { PumpOnce(loop_, kYieldSlice); }
  void YieldUntil(std::chrono::steady_clock::time_point deadline) override {
    PumpOneUntil(loop_, deadline);
  }

  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override {
    return std::make_unique<AsioTimer>(loop_, std::move(on_tick));
  }
  std::unique_ptr<TcpSocket> CreateSocket(SocketListener& listener) override {
    return std::make_unique<AsioTcpSocket>(loop_, listener);
  }

 private:
  asio::io_context& loop_;
};

}  // namespace

std::unique_ptr<Environment> MakeAsioEnvironment(asio::io_context& loop) {
  return std::make_unique<AsioEnvironment>(loop);
}

}  // namespace korvane::platform
