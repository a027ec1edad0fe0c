// Faults the simulator injects for testing clients, all off by default:
//   throttle_tps           a submission beyond N accepted in the last second
//                          of its connection is answered 0x00000058
//   queue_full_rate        that share of submissions is answered 0x00000014
//   drop_rate              that share of requests is served but never
//                          answered
//   disconnect_every_pdus  the Nth PDU received on a connection is served,
//                          its answer withheld, and the connection closed
//                          without an unbind
//   disconnect_after_bind  the connection is closed that long after its bind
//   rebind_guard           see rebind_guard.hpp
// SessionFaults holds one connection's decisions; pure bookkeeping over the
// time points given, so that tests drive it without a clock.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "smsc/throttle_window.hpp"

namespace korvane::smsc {

inline constexpr uint32_t kStatusQueueFull = 0x14;  // ESME_RMSGQFUL
inline constexpr uint32_t kStatusThrottled = 0x58;  // ESME_RTHROTTLED

struct FaultOptions {
  int32_t throttle_tps = 0;  // 0: no limit
  double queue_full_rate = 0;
  double drop_rate = 0;
  int32_t disconnect_every_pdus = 0;                   // 0: never
  std::chrono::milliseconds disconnect_after_bind{0};  // 0: never
  std::chrono::milliseconds rebind_guard{0};           // 0: none
  // Seeds each connection's generator together with its number.
  uint32_t seed = 1;

  bool Any() const {
    return throttle_tps > 0 || queue_full_rate > 0 || drop_rate > 0 || disconnect_every_pdus > 0 ||
           disconnect_after_bind.count() > 0 || rebind_guard.count() > 0;
  }
};

class SessionFaults {
 public:
  using Clock = std::chrono::steady_clock;

  SessionFaults(const FaultOptions& options, uint32_t session_number);

  // The status of a submission received at `now`: 0 (accepted, and counted
  // against the throttle), kStatusThrottled or kStatusQueueFull.
  uint32_t SubmitStatus(Clock::time_point now);
  // Whether the answer to this request is withheld (a draw at drop_rate).
  bool DropAnswer();
  // Counts a received PDU; true when it is the one after which the
  // connection closes.
  bool CountPdu();
  // When a connection bound at `bound_at` is closed; nothing when never.
  std::optional<Clock::time_point> DisconnectDue(Clock::time_point bound_at) const;

 private:
  // True with probability `rate`, from 32 bits of the generator (the same
  // sequence with every standard library).
  bool Chance(double rate);

  FaultOptions options_;
  ThrottleWindow throttle_;
  std::mt19937 random_;
  int64_t pdus_ = 0;
};

// What the faults did, and what was accepted, over the engine's life.
// Counted on the engine's loop, read from any thread.
class FaultCounters {
 public:
  enum Kind {
    kAccepted,        // submissions given a message id
    kDuplicates,      // accepted with a text accepted before
    kThrottled,       // answered 0x00000058
    kQueueFull,       // answered 0x00000014
    kDropped,         // answers withheld
    kDisconnects,     // connections closed by a fault
    kRebindsRefused,  // binds answered 0x00000005 by the rebind guard
    kKinds
  };

  void Add(Kind kind) { counts_[kind].fetch_add(1, std::memory_order_relaxed); }
  void Set(Kind kind, uint64_t value) { counts_[kind].store(value, std::memory_order_relaxed); }
  uint64_t Get(Kind kind) const { return counts_[kind].load(std::memory_order_relaxed); }
  // "korvane-smsc summary: accepted=N duplicates=N throttled=N queue_full=N
  // dropped=N disconnects=N rebinds_refused=N".
  std::string SummaryLine() const;

 private:
  std::array<std::atomic<uint64_t>, kKinds> counts_{};
};

}  // namespace korvane::smsc
