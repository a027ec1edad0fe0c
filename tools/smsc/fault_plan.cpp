#include "smsc/fault_plan.hpp"

namespace korvane::smsc {

SessionFaults::SessionFaults(const FaultOptions& options, uint32_t session_number)
    : options_(options), throttle_(options.throttle_tps) {
  std::seed_seq seeds{options.seed, session_number};
  random_.seed(seeds);
}

uint32_t SessionFaults::SubmitStatus(Clock::time_point now) {
  if (!throttle_.Admit(now)) return kStatusThrottled;
  // A queue-full answer takes back the throttle's place: nothing was accepted.
  if (Chance(options_.queue_full_rate)) {
    throttle_.Forget();
    return kStatusQueueFull;
  }
  return 0;
}

bool SessionFaults::DropAnswer() { return Chance(options_.drop_rate); }

bool SessionFaults::CountPdu() {
  if (options_.disconnect_every_pdus <= 0) return false;
  return ++pdus_ % options_.disconnect_every_pdus == 0;
}

std::optional<SessionFaults::Clock::time_point> SessionFaults::DisconnectDue(
    Clock::time_point bound_at) const {
  if (options_.disconnect_after_bind.count() <= 0) return std::nullopt;
  return bound_at + options_.disconnect_after_bind;
}

bool SessionFaults::Chance(double rate) {
  if (rate <= 0) return false;
  constexpr double kRange = 4294967296.0;  // 2^32: mt19937 draws 0 .. 2^32 - 1
  return static_cast<double>(random_()) < rate * kRange;
}

std::string FaultCounters::SummaryLine() const {
  static constexpr const char* kNames[kKinds] = {"accepted",       "duplicates", "throttled",
                                                 "queue_full",     "dropped",    "disconnects",
                                                 "rebinds_refused"};
  std::string line = "korvane-smsc summary:";
  for (int kind = 0; kind < kKinds; ++kind) {
    line += ' ';
    line += kNames[kind];
    line += '=';
    line += std::to_string(Get(static_cast<Kind>(kind)));
  }
  return line;
}

}  // namespace korvane::smsc
