#include "diagnostics/hex_octets.hpp"

#include <optional>

#include "korvane/errors.hpp"

namespace korvane::diagnostics {
namespace {

std::optional<uint32_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

uint8_t ParsePiece(std::string_view piece) {
  // Any value past 0xFF is an overflow; the accumulator stops growing there so
  // that a long run of digits cannot wrap back into range.
  constexpr uint32_t kCap = 0x100;
  uint32_t value = 0;
  for (char c : piece) {
    const std::optional<uint32_t> digit = HexDigit(c);
    if (!digit) throw ComponentError(13, "Type mismatch");
    if (value < kCap) value = value * 16 + *digit;
  }
  if (value >= kCap) throw ComponentError(6, "Overflow");
  return static_cast<uint8_t>(value);
}

}  // namespace

std::vector<uint8_t> ParseHexOctets(std::string_view text) {
  std::vector<uint8_t> octets;
  while (!text.empty()) {
    const size_t end = text.find(' ');
    const std::string_view piece = text.substr(0, end);
    if (!piece.empty()) octets.push_back(ParsePiece(piece));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return octets;
}

}  // namespace korvane::diagnostics
