// What korvane-smpp prints: each event either as a readable line or, with
// --json, as one JSON object per line on standard output.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace korvane::client {

// A double is written with three decimals.
using JsonValue = std::variant<std::string, int64_t, bool, double>;
using JsonFields = std::vector<std::pair<std::string, JsonValue>>;

// A JSON string literal: quotes, backslashes and control characters escaped,
// UTF-8 characters as \uXXXX (surrogate pairs above U+FFFF), and any other
// octet above 0x7E as \u00XX (that octet as one code point).
std::string JsonString(std::string_view text);
// {"event":"...",...} on one line.
std::string JsonObject(std::string_view event, const JsonFields& fields);

class Output {
 public:
  Output(std::ostream& out, std::ostream& err, bool json) : out_(out), err_(err), json_(json) {}

  // A result of the command: `readable` (when not empty) on standard output.
  void Result(std::string_view event, const JsonFields& fields, const std::string& readable);
  // A side note (trace, debug, warning, library error): readable on standard
  // error, so that standard output keeps only results.
  void Note(std::string_view event, const JsonFields& fields, const std::string& readable);
  // The reason the command fails, with what to do about it; returns
  // `exit_status`.
  int Fail(int exit_status, const std::string& text);

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool json_;
};

}  // namespace korvane::client
