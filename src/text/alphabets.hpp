// What the encoders and decoders of the text layer share.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "korvane/text.hpp"

namespace korvane::text::detail {

inline constexpr uint8_t kGsmEscape = 0x1B;

// The GSM 7-bit code of a character: one septet, or the escape and one.
struct GsmCode {
  uint8_t septet = 0;
  bool extended = false;
};
std::optional<GsmCode> GsmCodeOf(char32_t c);

// Unpacked septets to code points (one per character).
std::u32string DecodeGsm7(std::span<const uint8_t> septets);

// Throws TextError "U+00E9 'é' at position 7 cannot be encoded in GSM 7-bit".
[[noreturn]] void Unencodable(char32_t c, std::size_t position, std::string_view alphabet);

}  // namespace korvane::text::detail
