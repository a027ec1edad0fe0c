#include "vocabulary/octets.hpp"

#include "korvane/errors.hpp"

namespace korvane::vocabulary {

std::array<uint8_t, 4> LongToOctets(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
          static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

std::array<uint8_t, 2> ShortToOctets(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

uint8_t ToOctet(int64_t value) {
  if (value < 0 || value > 0xFF) throw ComponentError(6, "Overflow");
  return static_cast<uint8_t>(value);
}

uint32_t BigEndian32(std::span<const uint8_t, 4> octets) {
  return uint32_t{octets[0]} << 24 | uint32_t{octets[1]} << 16 | uint32_t{octets[2]} << 8 |
         uint32_t{octets[3]};
}

uint16_t BigEndian16(std::span<const uint8_t, 2> octets) {
  return static_cast<uint16_t>(octets[0] << 8 | octets[1]);
}

}  // namespace korvane::vocabulary
