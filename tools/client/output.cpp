#include "output.hpp"

#include <ostream>

namespace korvane::client {

std::string JsonString(std::string_view text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string json = "\"";
  for (const char c : text) {
    const auto octet = static_cast<unsigned char>(c);
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (octet < 0x20 || octet > 0x7E) {
          json += "\\u00";
          json += kDigits[octet >> 4];
          json += kDigits[octet & 0x0F];
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
  if (json_) out_ << JsonObject("failed", {{"exit", int64_t{exit_status}}, {"text", text}}) << std::endl;
  err_ << "korvane-smpp: " << text << std::endl;
  return exit_status;
}

}  // namespace korvane::client
