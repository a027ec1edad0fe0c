// The tally of a load run (send --count): a count per outcome and the
// send-to-answer times, summed up as the rate and latency percentiles.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "korvane/submission.hpp"
#include "output.hpp"

namespace korvane::client {

struct LoadSummary {
  int64_t messages = 0;
  int64_t accepted = 0;
  int64_t refused = 0;
  int64_t timed_out = 0;
  int64_t lost = 0;      // ConnectionLost: sent, outcome unknown
  int64_t not_sent = 0;  // NotSent, and those never handed over
  int64_t retried = 0;
  double seconds = 0;
  double rate = 0;  // accepted messages per second
  double p50_ms = 0;
  double p99_ms = 0;
};

// The nearest-rank percentile `p` (0 to 100) of `values`; 0 when empty.
double Percentile(std::vector<double> values, double p);

class LoadTally {
 public:
  // One submission's completion.
  void Add(const SubmitResult& result);
  // Messages never handed to the session (the run was interrupted).
  void NotSubmitted(int64_t count) { summary_.not_sent += count; }
  int64_t Completed() const;
  // The summary of `messages` messages that took `elapsed`. Latencies are
  // those of the answered submissions (accepted or refused).
  LoadSummary Summarize(int64_t messages, std::chrono::duration<double> elapsed) const;

 private:
  LoadSummary summary_;
  std::vector<double> latencies_ms_;
};

// {"event":"summary","messages":N,"accepted":...,"p99_ms":...} fields.
JsonFields SummaryFields(const LoadSummary& summary);
// The readable summary line.
std::string SummaryLine(const LoadSummary& summary);

}  // namespace korvane::client
