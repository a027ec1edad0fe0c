#include "encoders/field_checks.hpp"

#include <string>

#include "korvane/errors.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {

uint8_t OctetField(std::string_view field, int64_t value) {
  if (value < 0 || value > 255) {
    throw ComponentError(6, "Overflow: " + std::string(field) + " " + std::to_string(value) +
                                " does not fit one octet");
  }
  return static_cast<uint8_t>(value);
}

void CheckCOctetString(std::string_view field, std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    throw ComponentError(
        5, "Invalid procedure call or argument: " + std::string(field) + " holds a NUL character");
  }
}

void CheckTlvLength(std::string_view field, std::size_t length) {
  if (length > vocabulary::kMaxTlvValueLength) {
    throw ComponentError(6, "Overflow: " + std::string(field) + " of " + std::to_string(length) +
                                " octets does not fit an optional parameter");
  }
}

std::span<const uint8_t> BodyOctets(const Variant& value, std::string& text_form) {
  if (value.IsBytes()) return value.Bytes();
  if (value.IsText()) return OctetsOf(value.Text());
  text_form = value.ToText();
  return OctetsOf(text_form);
}

}  // namespace korvane::encoders
