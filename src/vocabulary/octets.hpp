// Big-endian integer encodings of the wire protocol: 32-bit and 16-bit
// fields, single octets, and their decoding from fixed-size octet views.
// Pure functions; safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace korvane::vocabulary {

// The four octets of `value`, most significant first; a negative value comes
// out in two's complement (-1 is FF FF FF FF).
std::array<uint8_t, 4> LongToOctets(int32_t value);

// The low 16 bits of `value` as two octets, most significant first.
std::array<uint8_t, 2> ShortToOctets(int32_t value);

// `value` as one octet. Throws ComponentError 6 "Overflow" outside 0..255.
uint8_t ToOctet(int64_t value);

// Big-endian decoding; the fixed extent makes the bounds part of the type.
uint32_t BigEndian32(std::span<const uint8_t, 4> octets);
uint16_t BigEndian16(std::span<const uint8_t, 2> octets);

}  // namespace korvane::vocabulary
