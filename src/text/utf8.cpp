// UTF-8 to code points and back, strictly: a malformed sequence is an error
// naming the octet and where it stands.
#include <cstdio>

#include "korvane/text.hpp"

namespace korvane::text {
namespace {

[[noreturn]] void Invalid(std::string_view utf8, std::size_t at, const char* why) {
  char hex[8];
  const auto octet = static_cast<unsigned char>(utf8[at]);
  std::snprintf(hex, sizeof hex, "0x%02X", octet);
  throw TextError(
      "invalid UTF-8 at byte " + std::to_string(at + 1) + ": octet " + hex + " (" + why + ")",
      at + 1, octet);
}

bool IsContinuation(unsigned char octet) { return (octet & 0xC0) == 0x80; }

}  // namespace

std::string DescribeCharacter(char32_t code_point) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code_point));
  std::string text = name;
  const bool printable =
      code_point >= 0x20 && code_point != 0x7F && !(code_point >= 0x80 && code_point < 0xA0);
  if (printable) text += " '" + Utf8Of(std::u32string_view(&code_point, 1)) + "'";
  return text;
}

std::u32string CodePointsOf(std::string_view utf8) {
  std::u32string code_points;
  code_points.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      code_points.push_back(lead);
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
      Invalid(utf8, i, "not a lead octet");
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= utf8.size()) Invalid(utf8, i, "sequence cut short");
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if (!IsContinuation(next)) Invalid(utf8, i + k, "not a continuation octet");
      value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum) Invalid(utf8, i, "overlong form");
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      Invalid(utf8, i, "not a Unicode scalar value");
    code_points.push_back(value);
    i += length;
  }
  return code_points;
}

std::string Utf8Of(std::u32string_view code_points) {
  std::string utf8;
  utf8.reserve(code_points.size());
  for (char32_t c : code_points) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

}  // namespace korvane::text
