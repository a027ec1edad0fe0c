// The simulator's view of message text: what it receives, decoded and with
// concatenated parts put together for its log, and the mobile-originated
// messages it sends, split into parts and encoded (GSM 7-bit, else UCS-2).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "korvane/text.hpp"
#include "smsc/pdus.hpp"

namespace korvane::smsc {

class TextLog {
 public:
  // The log lines of a received submission: its text when it is whole or
  // completes a message, a set given up as incomplete, or nothing while
  // parts are missing.
  std::vector<std::string> Lines(const Submission& message,
                                 std::chrono::steady_clock::time_point now);

 private:
  text::Reassembler reassembler_{{.max_sets = 1024, .max_age = std::chrono::seconds(600)}};
};

// The deliver_sm bodies of a mobile-originated text: one, or the parts of a
// long one with a concatenation header. Throws text::TextError for a text
// that is not UTF-8.
std::vector<Submission> MoParts(const std::string& from, const std::string& to,
                                const std::string& utf8, uint16_t reference);

}  // namespace korvane::smsc
