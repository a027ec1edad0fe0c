// What the encoders and decoders of the text layer share.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/text.hpp"

namespace korvane::text::detail {

inline constexpr uint8_t kGsmEscape = 0x1B;

// The GSM 7-bit code of a character: its septet, plus kGsmExtended when it
// is an extension character (sent after the escape); -1 when it has none.
inline constexpr int kGsmExtended = 0x100;
int GsmCodeOf(char32_t c);

// One septet per octet, or nothing when a character has no code (its index
// then goes to `refused`, when given).
std::optional<std::vector<uint8_t>> TryGsm7(std::u32string_view code_points,
                                            std::size_t* refused = nullptr);

// Unpacked septets to code points (one per character).
std::u32string DecodeGsm7(std::span<const uint8_t> septets);

// Throws TextError "U+00E9 'é' at position 7 cannot be encoded in GSM 7-bit".
[[noreturn]] void Unencodable(char32_t c, std::size_t position, std::string_view alphabet);

}  // namespace korvane::text::detail
