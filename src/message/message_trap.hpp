// The error trap of MessageObject's trapped procedures: a failure in `body`
// reaches the caller as a ComponentError with the failure's number, source
// kComponentSource and the seven-line report (module "MessageObject",
// `procedure`) as description. Used on the caller's thread, per call.
#pragma once

#include <string_view>
#include <utility>

#include "diagnostics/error_report.hpp"
#include "diagnostics/error_trap.hpp"

namespace korvane::message {

inline constexpr std::string_view kMessageModuleName = "MessageObject";

template <typename Fn>
void RunTrapped(std::string_view procedure, Fn&& body) {
  diagnostics::MessageObjectReporter reporter;
  diagnostics::TrappedProcedure trap(reporter, kMessageModuleName, procedure);
  trap.Step(std::forward<Fn>(body));
}

template <typename T, typename Fn>
T RunTrappedValue(std::string_view procedure, Fn&& body) {
  diagnostics::MessageObjectReporter reporter;
  diagnostics::TrappedProcedure trap(reporter, kMessageModuleName, procedure);
  return trap.Value(T{}, std::forward<Fn>(body));
}

}  // namespace korvane::message
