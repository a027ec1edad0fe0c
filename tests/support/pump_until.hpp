// Drives a real Asio loop in tests without sleeping: passes of event
// processing until a condition holds, capped in real time so that a fault
// fails the test instead of hanging it.
#pragma once

#include <chrono>
#include <functional>

#include "platform/event_loop.hpp"

namespace korvane::testing {

// True once `done` holds; false when `cap` passed first.
inline bool PumpUntil(asio::io_context& loop, const std::function<bool()>& done,
                      std::chrono::milliseconds cap = std::chrono::seconds(2)) {
  const auto deadline = std::chrono::steady_clock::now() + cap;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    platform::PumpOnce(loop, platform::kYieldSlice);
  }
  return true;
}

}  // namespace korvane::testing
