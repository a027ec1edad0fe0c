#include "diagnostics/error_report.hpp"

#include "diagnostics/hooks.hpp"
#include "diagnostics/report_clock.hpp"

namespace korvane::diagnostics {

std::string BuildErrorReport(const ErrorRecord& error, std::string_view module,
                             std::string_view procedure, const DateTime& now, int32_t line_number) {
  std::string report;
  const auto line = [&report](std::string_view label, std::string_view value, bool last = false) {
    report.append(label).append(value);
    if (!last) report.append("\r\n");
  };
  line("Error Number  :", std::to_string(error.number));
  line("Description   :", error.description);
  line("Build Number  :", "1");
  line("Module Name   :", module);
  line("Procedure Name:", procedure);
  line("Line Number   :", std::to_string(line_number));
  line("Date and time :", now.ToString(), /*last=*/true);
  return report;
}

ErrorDecision MessageObjectReporter::ReportError(std::string_view module,
                                                 std::string_view procedure) {
  const ErrorRecord& error = CurrentError();
  throw ComponentError(error.number, BuildErrorReport(error, module, procedure, ReportNow()),
                       std::string(kComponentSource));
}

ErrorDecision HelperModuleReporter::ReportError(std::string_view module,
                                                std::string_view procedure) {
  SavedError saved;
  saved.Save();
  const std::string report = BuildErrorReport(CurrentError(), module, procedure, ReportNow());
  const ErrorDecision decision = AskUnexpectedErrorHandler(report);
  saved.Restore();
  return decision;
}

HelperModuleReporter& HelperModule() {
  static HelperModuleReporter reporter;
  return reporter;
}

}  // namespace korvane::diagnostics
