#include "diagnostics/error_trap.hpp"

#include "diagnostics/error_record.hpp"

namespace korvane::diagnostics {

bool TrappedProcedure::Decide(std::exception_ptr failure) {
  CurrentError() = ErrorFromException(failure);
  ErrorDecision decision;
  try {
    decision = reporter_.ReportError(module_, procedure_);
  } catch (...) {
    // A reporter that raises (the message object's) ends the procedure with
    // its own error; the failure it reported is done with.
    CurrentError() = {};
    throw;
  }
  const ErrorRecord held = CurrentError();
  CurrentError() = {};
  switch (decision) {
    case ErrorDecision::Abort:
      throw ToComponentError(held);
    case ErrorDecision::Retry:
      return true;
    case ErrorDecision::Ignore:
      return false;
  }
  left_ = true;
  return false;
}

}  // namespace korvane::diagnostics
