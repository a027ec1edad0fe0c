#include "output.hpp"

#include <cstdio>
#include <ostream>
#include <utility>

namespace korvane::client {

namespace {

// The code point of the well-formed UTF-8 sequence at `at` and its length,
// or length 0.
std::pair<char32_t, std::size_t> Utf8At(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return {0, 0};
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {0, 0};
    value = value << 6 | (next & 0x3F);
  }
  const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {0, 0};
  return {value, length};
}

void AppendUnit(std::string& json, char32_t unit) {
  static constexpr char kDigits[] = "0123456789abcdef";
  json += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) json += kDigits[(unit >> shift) & 0xF];
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto octet = static_cast<unsigned char>(c);
    if (const auto [code_point, length] = Utf8At(text, i); octet > 0x7F && length != 0) {
      if (code_point > 0xFFFF) {
        AppendUnit(json, 0xD800 + ((code_point - 0x10000) >> 10));
        AppendUnit(json, 0xDC00 + ((code_point - 0x10000) & 0x3FF));
      } else {
        AppendUnit(json, code_point);
      }
      i += length - 1;
      continue;
    }
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (octet < 0x20 || octet > 0x7E) {
          AppendUnit(json, octet);
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string JsonObject(std::string_view event, const JsonFields& fields) {
  // Appended piece by piece: g++ 12 at -O3 misreads `"literal" + temporary`
  // as an overlapping copy (-Wrestrict).
  std::string json = "{\"event\":";
  json += JsonString(event);
  for (const auto& [name, value] : fields) {
    json += ',';
    json += JsonString(name);
    json += ':';
    if (const auto* text = std::get_if<std::string>(&value)) {
      json += JsonString(*text);
    } else if (const auto* number = std::get_if<int64_t>(&value)) {
      json += std::to_string(*number);
    } else if (const auto* real = std::get_if<double>(&value)) {
      char digits[64];
      std::snprintf(digits, sizeof digits, "%.3f", *real);
      json += digits;
    } else {
      json += std::get<bool>(value) ? "true" : "false";
    }
  }
  return json + "}";
}

void Output::Result(std::string_view event, const JsonFields& fields, const std::string& readable) {
  if (json_) {
    out_ << JsonObject(event, fields) << std::endl;
  } else if (!readable.empty()) {
    out_ << readable << std::endl;
  }
}

void Output::Note(std::string_view event, const JsonFields& fields, const std::string& readable) {
  if (json_) {
    out_ << JsonObject(event, fields) << std::endl;
  } else {
    err_ << readable << std::endl;
  }
}

int Output::Fail(int exit_status, const std::string& text) {
  if (json_)
    out_ << JsonObject("failed", {{"exit", int64_t{exit_status}}, {"text", text}}) << std::endl;
  err_ << "korvane-smpp: " << text << std::endl;
  return exit_status;
}

}  // namespace korvane::client
