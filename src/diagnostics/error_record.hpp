// The current error: the five values of a failure while the error report of a
// trapped procedure runs. One per thread, as the object model keeps it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "korvane/errors.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::diagnostics {

// The source of every error the component raises itself.
using vocabulary::kComponentSource;

struct ErrorRecord {
  int32_t number = 0;
  std::string description;
  std::string source;
  std::string help_file;
  int32_t help_context = 0;

  bool operator==(const ErrorRecord&) const = default;
};

// The calling thread's current error; number 0 when there is none.
ErrorRecord& CurrentError();

// The error a thrown exception stands for: a ComponentError as it is, the
// standard exceptions as the platform numbers them (bad_alloc 7, out_of_range
// 9, overflow and range errors 6, invalid_argument 13, anything else 5). A
// failure without a source gets kComponentSource.
ErrorRecord ErrorFromException(std::exception_ptr failure);

ComponentError ToComponentError(const ErrorRecord& error);

// A saved copy of the current error, restored after a host handler ran, so
// that the handler cannot change the error of the procedure being reported.
class SavedError {
 public:
  void Save() { saved_ = CurrentError(); }
  void Restore() const { CurrentError() = saved_; }

 private:
  ErrorRecord saved_;
};

}  // namespace korvane::diagnostics
