// A PDU typed as hexadecimal text, as a host pastes it into a test call.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace korvane::diagnostics {

// "00 1a  F 001A" -> {0x00, 0x1A, 0x0F, 0x1A}: one octet per blank-separated
// piece; runs of blanks and blanks at either end are skipped. A piece may have
// any number of hex digits in either case, without prefix or sign. Throws
// ComponentError 13 (type mismatch) for a piece with a non-hex character and
// 6 (overflow) for a piece above FF; the first bad piece decides.
std::vector<uint8_t> ParseHexOctets(std::string_view text);

}  // namespace korvane::diagnostics
