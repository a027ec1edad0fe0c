// --rebind-guard-ms M: an SMSC that has not yet noticed a binding is gone
// refuses a new bind of the same system_id with 0x00000005 (already bound).
// A binding that ended without an unbind (the connection dropped) guards
// its system_id for M ms from that end: a bind at less than M ms is
// refused, one at M ms or later succeeds. An unbind leaves no guard. Shared
// by every connection of the engine; pure bookkeeping over the time points
// given.
#pragma once

#include <chrono>
#include <string>
#include <unordered_map>

namespace korvane::smsc {

class RebindGuard {
 public:
  using Clock = std::chrono::steady_clock;

  // 0 or less: no guard.
  explicit RebindGuard(std::chrono::milliseconds span) : span_(span) {}

  // A binding of `system_id` ended without an unbind at `when`.
  void BindingDropped(const std::string& system_id, Clock::time_point when);
  // Whether a bind of `system_id` at `now` is refused.
  bool Refuses(const std::string& system_id, Clock::time_point now) const;

 private:
  std::chrono::milliseconds span_;
  // The latest drop of each system_id; expired entries go at the next drop.
  std::unordered_map<std::string, Clock::time_point> dropped_;
};

}  // namespace korvane::smsc
