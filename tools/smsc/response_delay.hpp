// Added response latency (--latency-ms MEAN[,JITTER]): each response waits
// MEAN ms plus a uniform draw from -JITTER to +JITTER, and responses leave
// in the order of their due times (the order they were made, when equal).
// Pure bookkeeping: the session owns the timer and asks what is due.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string_view>

#include "smsc/pdus.hpp"

namespace korvane::smsc {

struct Latency {
  std::chrono::milliseconds mean{0};
  std::chrono::milliseconds jitter{0};
  bool Any() const { return mean.count() > 0 || jitter.count() > 0; }
};

// "MEAN" or "MEAN,JITTER" in whole milliseconds, each 0 to 3600000; nullopt
// for anything else.
std::optional<Latency> ParseLatency(std::string_view text);

class DelayedResponses {
 public:
  using Clock = std::chrono::steady_clock;

  DelayedResponses(Latency latency, uint32_t seed) : latency_(latency), random_(seed) {}

  // A delay drawn from MEAN +- JITTER, never below 0.
  Clock::duration Draw();
  // Queues `pdu` to leave at `due`; with `last`, not before any queued one.
  void Add(Clock::time_point due, Octets pdu, bool last = false);
  // Takes the responses due at `now`, in order.
  std::vector<Octets> TakeDue(Clock::time_point now);
  std::optional<Clock::time_point> NextDue() const;
  bool Empty() const { return waiting_.empty(); }

 private:
  Latency latency_;
  std::mt19937 random_;
  std::multimap<Clock::time_point, Octets> waiting_;  // equal times keep their order
};

}  // namespace korvane::smsc
