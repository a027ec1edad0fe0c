// The checks that keep an outgoing PDU well formed: a value that does not
// fit its field is refused with a ComponentError naming the field, before
// anything is written, instead of being cut or wrapped.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "korvane/variant.hpp"

namespace korvane::encoders {

// `value` as one octet; ComponentError 6 "Overflow: ..." outside 0..255.
uint8_t OctetField(std::string_view field, int64_t value);

// ComponentError 5 when `text` holds a NUL octet: it would end the C-octet
// string early and shift every later field.
void CheckCOctetString(std::string_view field, std::string_view text);

// ComponentError 6 when `length` octets exceed the 65535 an optional
// parameter's length can say.
void CheckTlvLength(std::string_view field, std::size_t length);

// The octets of a text, one character each.
inline std::span<const uint8_t> OctetsOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The octets a body variant holds: the bytes of an array, else the
// characters of `text_form` (where the caller keeps the variant's text).
std::span<const uint8_t> BodyOctets(const Variant& value, std::string& text_form);

}  // namespace korvane::encoders
