// The trace line of a PDU: label, ":", TAB, then two upper-case hex digits and
// one blank per octet. Built in one allocation of its exact size.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvane::diagnostics {

std::string FormatTraceLine(std::string_view label, std::span<const uint8_t> pdu);

}  // namespace korvane::diagnostics
