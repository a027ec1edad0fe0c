// The periodic timer of the Asio environment. Ticks arrive on the thread that
// runs the loop. The timer is owned by its creator and may be destroyed at any
// time, also from inside its own tick; the loop must outlive it. Handlers hold
// the shared state, never the timer object, so a tick that completes after
// disabling or destruction is dropped without reaching the callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "korvane/platform.hpp"

namespace korvane::platform {

class AsioTimer final : public Timer {
 public:
  AsioTimer(asio::io_context& loop, std::function<void()> on_tick);
  ~AsioTimer() override;
  AsioTimer(const AsioTimer&) = delete;
  AsioTimer& operator=(const AsioTimer&) = delete;

  // Takes effect from the next arming (enabling, or the re-arm of each tick).
  // An interval of 0 or below never ticks.
  void Interval(int32_t milliseconds) override;
  int32_t Interval() const override;
  // Enabling a disabled timer arms it for one interval; enabling an enabled
  // timer changes nothing. Disabling cancels the pending tick.
  void Enabled(bool enabled) override;
  bool Enabled() const override;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace korvane::platform
