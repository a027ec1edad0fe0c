// Helpers for the codec tests: hex vectors and the number of a thrown
// ComponentError.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "korvane/errors.hpp"

namespace korvane::vocabulary {

// "00 1A ff" -> {0x00, 0x1A, 0xFF}; blanks are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
  std::vector<uint8_t> octets;
  int high = -1;
  for (char c : text) {
    if (c == ' ') continue;
    const int nibble = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    if (high < 0) {
      high = nibble;
    } else {
      octets.push_back(static_cast<uint8_t>(high << 4 | nibble));
      high = -1;
    }
  }
  return octets;
}

// The number of the ComponentError `action` throws, or 0 when it returns.
template <typename Action>
int32_t ErrorNumberOf(Action&& action) {
  try {
    action();
  } catch (const ComponentError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace korvane::vocabulary
