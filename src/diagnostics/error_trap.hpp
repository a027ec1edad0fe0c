// The error trap every procedure of the component runs under. A procedure is
// a sequence of steps; a step that fails becomes the thread's current error
// and the class's reporter decides how the procedure goes on:
//   Abort  - the error is raised again to the caller of the procedure;
//   Retry  - the failed step runs again;
//   Ignore - the procedure goes on with its next step;
//   any other answer - the procedure is left: its remaining steps are skipped.
// So an encoder or the dispatcher can report the failure of one step and
// carry on with the next.
#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "korvane/errors.hpp"

namespace korvane::diagnostics {

class ErrorReporter {
 public:
  // Reports the current error for `module` / `procedure` and decides.
  virtual ErrorDecision ReportError(std::string_view module, std::string_view procedure) = 0;

 protected:
  ~ErrorReporter() = default;
};

class TrappedProcedure {
 public:
  TrappedProcedure(ErrorReporter& reporter, std::string_view module, std::string_view procedure)
      : reporter_(reporter), module_(module), procedure_(procedure) {}

  // Runs one step under the trap; does nothing once the procedure was left.
  template <typename Fn>
  void Step(Fn&& step) {
    while (!left_) {
      try {
        std::forward<Fn>(step)();
        return;
      } catch (...) {
        if (!Decide(std::current_exception())) return;
      }
    }
  }

  // Runs a step that yields the procedure's result; `fallback` is the result
  // when the step fails or the procedure was left.
  template <typename T, typename Fn>
  T Value(T fallback, Fn&& step) {
    Step([&] { fallback = std::forward<Fn>(step)(); });
    return fallback;
  }

  // Runs a stretch with the trap switched off: a failure in it is skipped
  // silently, without a report.
  template <typename Fn>
  void Unchecked(Fn&& step) {
    if (left_) return;
    try {
      std::forward<Fn>(step)();
    } catch (...) {
    }
  }

  bool Left() const { return left_; }

 private:
  // Acts on the reporter's decision; true means run the step again.
  bool Decide(std::exception_ptr failure);

  ErrorReporter& reporter_;
  std::string_view module_;
  std::string_view procedure_;
  bool left_ = false;
};

}  // namespace korvane::diagnostics
