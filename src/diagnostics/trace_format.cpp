#include "diagnostics/trace_format.hpp"

namespace korvane::diagnostics {

std::string FormatTraceLine(std::string_view label, std::span<const uint8_t> pdu) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(label.size() + 2 + 3 * pdu.size());
  line.append(label).append(":\t");
  for (const uint8_t octet : pdu) {
    line.push_back(kHexDigits[octet >> 4]);
    line.push_back(kHexDigits[octet & 0x0F]);
    line.push_back(' ');
  }
  return line;
}

}  // namespace korvane::diagnostics
