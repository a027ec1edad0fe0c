#include "e2e/measure.hpp"

#include <malloc.h>
#include <sys/resource.h>

#include <fstream>
#include <string>

namespace korvane::bench {
namespace {

bool per_row_peak = true;

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

}  // namespace

double SecondsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

void ResetPeakRss() {
  // Memory an earlier row freed goes back to the system first, so that it
  // does not count towards this row's peak.
  malloc_trim(0);
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5" << std::flush;
  if (!clear) per_row_peak = false;
}

std::size_t PeakRssBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

bool PeakRssIsPerRow() { return per_row_peak; }

}  // namespace korvane::bench
