// What each end-to-end row reports besides its rate: wall time, processor
// time of the calling thread (or of the threads that add theirs), and the
// peak resident memory of the process while the row ran.
#pragma once

#include <chrono>
#include <cstddef>

namespace korvane::bench {

using Clock = std::chrono::steady_clock;

double SecondsBetween(Clock::time_point start, Clock::time_point end);

// Processor seconds (user + system) of the calling thread so far.
double ThreadCpuSeconds();

// Peak resident set of this process since the last ResetPeakRss, in bytes.
// The reset returns freed heap to the system, then restarts the peak through
// /proc/self/clear_refs; where that is refused the peak is the process's
// whole-life peak (PeakRssIsPerRow tells which).
void ResetPeakRss();
std::size_t PeakRssBytes();
bool PeakRssIsPerRow();

// One measured run: its count, time, processor seconds and memory.
struct Sample {
  std::size_t messages = 0;
  double seconds = 0;
  double client_cpu = 0;  // the client side's threads
  double sink_cpu = 0;    // the sink SMSC's thread
  std::size_t peak_rss = 0;
  bool complete = false;  // every message made it within the time cap

  double Rate() const { return seconds > 0 ? static_cast<double>(messages) / seconds : 0; }
};

}  // namespace korvane::bench
