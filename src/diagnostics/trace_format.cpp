#include "diagnostics/trace_format.hpp"

namespace korvane::diagnostics {

std::string FormatTraceLine(std::string_view label, std::span<const uint8_t> pdu) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  static constexpr std::string_view kSeparator = ":\t";
  // Sized once, then filled in place: three characters per octet.
  std::string line(label.size() + kSeparator.size() + 3 * pdu.size(), ' ');
  char* out = line.data();
  out = label.copy(out, label.size()) + out;
  out = kSeparator.copy(out, kSeparator.size()) + out;
  for (const uint8_t octet : pdu) {
    out[0] = kHexDigits[octet >> 4];
    out[1] = kHexDigits[octet & 0x0F];
    out += 3;  // the blank is already there
  }
  return line;
}

}  // namespace korvane::diagnostics
