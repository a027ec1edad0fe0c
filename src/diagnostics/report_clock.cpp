#include "diagnostics/report_clock.hpp"

#include <algorithm>
#include <vector>

#include "platform/system_clock.hpp"

namespace korvane::diagnostics {
namespace {

std::vector<platform::Environment*>& ThreadClocks() {
  thread_local std::vector<platform::Environment*> clocks;
  return clocks;
}

}  // namespace

void UseReportClock(platform::Environment& environment) { ThreadClocks().push_back(&environment); }

void DropReportClock(platform::Environment& environment) {
  std::vector<platform::Environment*>& clocks = ThreadClocks();
  // The latest registration of this environment: sessions may share one.
  const auto found = std::find(clocks.rbegin(), clocks.rend(), &environment);
  if (found != clocks.rend()) clocks.erase(std::next(found).base());
}

DateTime ReportNow() {
  const std::vector<platform::Environment*>& clocks = ThreadClocks();
  return clocks.empty() ? platform::SystemLocalNow() : clocks.back()->LocalNow();
}

}  // namespace korvane::diagnostics
