#include "interop/flat_json.hpp"

#include <cctype>
#include <cstdint>

namespace korvane::testing {
namespace {

class FlatParser {
 public:
  explicit FlatParser(const std::string& text) : text_(text) {}

  std::optional<FlatObject> Object() {
    FlatObject object;
    if (!Take('{')) return std::nullopt;
    if (Take('}')) return End(object);
    do {
      auto key = String();
      if (!key || !Take(':')) return std::nullopt;
      auto value = String();
      if (!value) return std::nullopt;
      object[*key] = *value;
    } while (Take(','));
    if (!Take('}')) return std::nullopt;
    return End(object);
  }

 private:
  std::optional<FlatObject> End(const FlatObject& object) {
    SkipBlanks();
    if (at_ != text_.size()) return std::nullopt;
    return object;
  }

  void SkipBlanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }

  bool Take(char expected) {
    SkipBlanks();
    if (at_ >= text_.size() || text_[at_] != expected) return false;
    ++at_;
    return true;
  }

  std::optional<std::string> String() {
    if (!Take('"')) return std::nullopt;
    std::string value;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return value;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= text_.size()) return std::nullopt;
      const char escaped = text_[at_++];
      switch (escaped) {
        case 'b':
          value += '\b';
          break;
        case 'f':
          value += '\f';
          break;
        case 'n':
          value += '\n';
          break;
        case 'r':
          value += '\r';
          break;
        case 't':
          value += '\t';
          break;
        case 'u': {
          if (at_ + 4 > text_.size()) return std::nullopt;
          const uint32_t code =
              static_cast<uint32_t>(std::stoul(text_.substr(at_, 4), nullptr, 16));
          at_ += 4;
          AppendUtf8(value, code);
          break;
        }
        default:
          value += escaped;  // \" \\ \/
      }
    }
    return std::nullopt;
  }

  // The peer's texts are ASCII but for the odd control character; a code
  // point is kept as UTF-8 (surrogate pairs are not joined).
  static void AppendUtf8(std::string& text, uint32_t code) {
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<FlatObject> ParseFlatObject(const std::string& line) {
  try {
    return FlatParser(line).Object();
  } catch (const std::exception&) {  // stoul on a bad \u escape
    return std::nullopt;
  }
}

std::string HexOf(std::string_view octets) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char c : octets) {
    const auto octet = static_cast<unsigned char>(c);
    text += kDigits[octet >> 4];
    text += kDigits[octet & 0x0F];
  }
  return text;
}

std::string JsonString(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (const char c : text) {
    const auto octet = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (octet < 0x20) {
      quoted += "\\u00";
      quoted += kDigits[octet >> 4];
      quoted += kDigits[octet & 0x0F];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace korvane::testing
