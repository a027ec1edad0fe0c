// The body of `send --text`: the UTF-8 text encoded for the alphabet that
// --encoding and --coding choose, checked before any connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::client {

struct TextBody {
  std::vector<uint8_t> octets;  // GSM 7-bit: one septet per octet
  int data_coding = 0;
};

// `encoding` is auto, gsm7, latin1 or ucs2; `coding` the --coding value, or
// -1 when not given. Throws std::invalid_argument with a line naming the
// character that does not fit, or the conflict between the options.
TextBody EncodeTextBody(const std::string& utf8, const std::string& encoding, int coding);

}  // namespace korvane::client
