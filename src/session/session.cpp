#include "session/session.hpp"

#include <cmath>
#include <random>

#include "diagnostics/error_report.hpp"
#include "diagnostics/report_clock.hpp"
#include "diagnostics/trace_format.hpp"
#include "session/binding.hpp"
#include "session/time_zone.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::session {
namespace {

// A tag in [0, 20000 x seconds since midnight); below 2^31, so it fits. The
// generator is seeded from the time of day once per thread, so sessions
// created in the same instant still draw different values.
int32_t NewInstanceId(double seconds_since_midnight) {
  thread_local std::mt19937 generator(static_cast<uint32_t>(seconds_since_midnight * 1000.0));
  const double r = std::uniform_real_distribution<double>(0.0, 1.0)(generator);
  return static_cast<int32_t>(std::lround(r * 20000.0 * seconds_since_midnight));
}

}  // namespace

Session::Session(SMPP& owner, platform::Environment& environment,
                 std::unique_ptr<platform::Environment> owned_environment)
    : owner_(owner),
      owned_environment_(std::move(owned_environment)),
      environment_(environment),
      bind_state_(owner.ConnectedAndBound),
      transport_(std::make_unique<Transport>(*this)),
      link_supervisor_(std::make_unique<LinkSupervisor>(*this)) {
  diagnostics::UseReportClock(environment_);
  Procedure("Class_Initialize").Step([&] {
    owner_.InstanceID = NewInstanceId(environment_.SecondsSinceMidnight());
  });
  // The first session on a thread fixes the thread's time-zone suffix.
  diagnostics::TrappedProcedure(diagnostics::HelperModule(), diagnostics::kHelperModuleName,
                                "GetTZBiasString")
      .Step([&] { InitTimeZoneSuffix(environment_); });
}

Session::~Session() { diagnostics::DropReportClock(environment_); }

void Session::WaitUntil(int32_t timeout_seconds, const std::function<bool()>& done) {
  const auto start = environment_.MonotonicNow();
  const std::chrono::duration<double> timeout(timeout_seconds);
  // Each pass ends with the first event; between events the wait sleeps.
  const auto deadline = start + std::chrono::ceil<std::chrono::steady_clock::duration>(timeout);
  while (environment_.MonotonicNow() - start < timeout && !done())
    environment_.YieldUntil(deadline);
}

void Session::WaitForResponse(const std::function<bool()>& done) {
  const bool open = transport_->Connected();
  WaitUntil(settings_.operations_timeout,
            [&] { return done() || (open && !transport_->Connected()); });
}

void Session::Shutdown() {
  Procedure("Class_Terminate").Step([&] {
    // No rebind may outlive the object, nor start from its own unbind.
    reconnector_.Stop();
    if (settings_.auto_unbind_on_destroy && transport_->Connected()) Unbind(*this);
  });
}

ErrorDecision Session::ReportError(std::string_view module, std::string_view procedure) {
  saved_error_.Save();
  const diagnostics::ErrorRecord& error = diagnostics::CurrentError();
  const std::string report =
      diagnostics::BuildErrorReport(error, module, procedure, environment_.LocalNow());
  RaiseError(error.number, vocabulary::kComponentSource, report);
  saved_error_.Restore();
  return ErrorDecision::Ignore;
}

void Session::RaiseError(int32_t number, const std::string& source,
                         const std::string& description) {
  sinks_.Raise([&](SMPPEvents& sink) { sink.Error(number, source, description); });
}

void Session::RaiseWarning(int32_t number, const std::string& source,
                           const std::string& description) {
  sinks_.Raise([&](SMPPEvents& sink) { sink.Warning(number, source, description); });
}

void Session::SendDebugMsg(const std::string& message) {
  Procedure("SendDebugMsg").Step([&] {
    if (settings_.enable_debug) sinks_.Raise([&](SMPPEvents& sink) { sink.DebugLog(message); });
  });
}

void Session::SendTraceMsg(const std::string& message) {
  Procedure("SendTraceMsg").Step([&] {
    if (settings_.enable_trace) sinks_.Raise([&](SMPPEvents& sink) { sink.TraceLog(message); });
  });
}

void Session::CalcTraceLog(std::span<const uint8_t> pdu, std::string_view label) {
  if (!settings_.enable_trace) return;  // no text is built for nobody
  Procedure("CalcTraceLog").Step([&] { SendTraceMsg(diagnostics::FormatTraceLine(label, pdu)); });
}

}  // namespace korvane::session
