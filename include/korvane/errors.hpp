// Errors raised to the host, and the process-wide hooks that stand in for
// the dialogs of a desktop platform.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "korvane/export.hpp"

namespace korvane {

// An error with the five values of the object model's error record. Numbers
// the platform itself raises keep their usual values: 5 invalid procedure
// call or argument, 6 overflow, 7 out of memory, 9 subscript out of range,
// 13 type mismatch, 91 object variable not set, 438 member not supported.
class KORVANE_SMPP_API ComponentError : public std::exception {
 public:
  ComponentError(int32_t number, std::string description, std::string source = "KorvaneSMPP",
                 std::string help_file = "", int32_t help_context = 0)
      : number_(number),
        description_(std::move(description)),
        source_(std::move(source)),
        help_file_(std::move(help_file)),
        help_context_(help_context) {}

  int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }
  const std::string& Source() const { return source_; }
  const std::string& HelpFile() const { return help_file_; }
  int32_t HelpContext() const { return help_context_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
  std::string help_file_;
  int32_t help_context_;
};

// How a trapped procedure of the helper module goes on after a failure.
enum class ErrorDecision { Abort = 3, Retry = 4, Ignore = 5 };

// Asked with the seven-line report when a helper-module procedure fails.
// Without a handler the report goes to standard error and the answer is
// Ignore. Process-wide; pass an empty function to remove the handler.
KORVANE_SMPP_API void SetUnexpectedErrorHandler(
    std::function<ErrorDecision(const std::string& report)> handler);

// Receives the component's title and version from SMPP::AboutKVSMPP. Without
// a handler they are written to standard error. Process-wide.
KORVANE_SMPP_API void SetAboutHandler(
    std::function<void(const std::string& title, const std::string& version)> handler);

}  // namespace korvane
