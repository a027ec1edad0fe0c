// The seven-line error report and the reporters of the message object and of
// the helper module. (The session's reporter raises its Error event and lives
// with the session.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "diagnostics/error_record.hpp"
#include "diagnostics/error_trap.hpp"
#include "korvane/date_time.hpp"

namespace korvane::diagnostics {

// Seven labelled lines joined by CR LF, no line break after the last:
//   "Error Number  :", "Description   :", "Build Number  :" (always 1),
//   "Module Name   :", "Procedure Name:", "Line Number   :", "Date and time :".
std::string BuildErrorReport(const ErrorRecord& error, std::string_view module,
                             std::string_view procedure, const DateTime& now,
                             int32_t line_number = 0);

// Reporter of MessageObject: raises the report to the caller as a
// ComponentError with the failure's number and source kComponentSource (no help
// file or context); it never returns a decision. Stateless.
class MessageObjectReporter final : public ErrorReporter {
 public:
  [[noreturn]] ErrorDecision ReportError(std::string_view module,
                                         std::string_view procedure) override;
};

// Reporter of the helper module: asks the unexpected-error hook (see
// SetUnexpectedErrorHandler) and returns its decision. The current error is
// restored after the hook, whatever the hook did to it. Stateless, so one
// instance serves every thread.
class HelperModuleReporter final : public ErrorReporter {
 public:
  ErrorDecision ReportError(std::string_view module, std::string_view procedure) override;
};

// The helper module's name in reports, and its one reporter.
inline constexpr std::string_view kHelperModuleName = "modCommon";
HelperModuleReporter& HelperModule();

}  // namespace korvane::diagnostics
