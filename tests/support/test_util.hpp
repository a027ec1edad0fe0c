// Small helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "korvane/errors.hpp"

namespace korvane::testing {

// "00 1A ff" -> {0x00, 0x1A, 0xFF}: one blank-separated hex pair per octet.
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> octets;
  for (unsigned octet = 0; in >> std::hex >> octet;) octets.push_back(static_cast<uint8_t>(octet));
  return octets;
}

// The octets of a text, one per character.
inline std::vector<uint8_t> Octets(const std::string& text) { return {text.begin(), text.end()}; }

// {0x00, 0x1A} -> "00 1A": the inverse of Hex.
inline std::string HexText(const std::vector<uint8_t>& octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const uint8_t octet : octets) {
    if (!text.empty()) text += ' ';
    text += kDigits[octet >> 4];
    text += kDigits[octet & 0x0F];
  }
  return text;
}

// The number of the ComponentError `action` throws, or 0 when it returns.
inline int32_t ErrorNumberOf(const auto& action) {
  try {
    action();
  } catch (const ComponentError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace korvane::testing
