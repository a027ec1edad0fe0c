#include "platform/asio_timer.hpp"

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <utility>

namespace korvane::platform {

struct AsioTimer::State : std::enable_shared_from_this<State> {
  State(asio::io_context& loop, std::function<void()> callback)
      : timer(loop), on_tick(std::move(callback)) {}

  // Starts one interval; a completion of an earlier arming no longer matches
  // `arming` and is dropped.
  void Arm() {
    ++arming;
    if (interval_ms <= 0) return;
    timer.expires_after(std::chrono::milliseconds(interval_ms));
    timer.async_wait([self = shared_from_this(), armed = arming](const std::error_code& error) {
      self->OnExpired(error, armed);
    });
  }

  void Disarm() {
    ++arming;
    timer.cancel();
  }

  void OnExpired(const std::error_code& error, uint64_t armed) {
    if (error || !enabled || armed != arming) return;
    // Re-armed first: the callback may pump events, disable the timer or
    // destroy its owner, and this handler's reference keeps the state alive.
    Arm();
    on_tick();
  }

  asio::steady_timer timer;
  std::function<void()> on_tick;
  int32_t interval_ms = 0;
  bool enabled = false;
  uint64_t arming = 0;
};

AsioTimer::AsioTimer(asio::io_context& loop, std::function<void()> on_tick)
    : state_(std::make_shared<State>(loop, std::move(on_tick))) {}

AsioTimer::~AsioTimer() {
  state_->enabled = false;
  state_->Disarm();
}

void AsioTimer::Interval(int32_t milliseconds) { state_->interval_ms = milliseconds; }

int32_t AsioTimer::Interval() const { return state_->interval_ms; }

void AsioTimer::Enabled(bool enabled) {
  if (enabled == state_->enabled) return;
  state_->enabled = enabled;
  if (enabled) {
    state_->Arm();
  } else {
    state_->Disarm();
  }
}

bool AsioTimer::Enabled() const { return state_->enabled; }

}  // namespace korvane::platform
