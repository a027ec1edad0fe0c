// Encoding UTF-8 for each data_coding, and decoding received octets to UTF-8.
#include "text/alphabets.hpp"

namespace korvane::text {
namespace {

// Characters up to `limit` take one octet each.
std::vector<uint8_t> EncodeOneOctet(std::string_view utf8, char32_t limit,
                                    std::string_view alphabet) {
  const std::u32string code_points = CodePointsOf(utf8);
  std::vector<uint8_t> octets;
  octets.reserve(code_points.size());
  for (std::size_t i = 0; i < code_points.size(); ++i) {
    if (code_points[i] > limit) detail::Unencodable(code_points[i], i + 1, alphabet);
    octets.push_back(static_cast<uint8_t>(code_points[i]));
  }
  return octets;
}

std::u32string DecodeUtf16Be(std::span<const uint8_t> octets) {
  std::u32string text;
  text.reserve(octets.size() / 2 + 1);
  std::size_t i = 0;
  const auto unit_at = [&](std::size_t at) -> char32_t {
    return static_cast<char32_t>(octets[at] << 8 | octets[at + 1]);
  };
  for (; i + 1 < octets.size(); i += 2) {
    const char32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < octets.size()) {
      const char32_t low = unit_at(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    text.push_back(unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
  }
  if (i < octets.size()) text.push_back(0xFFFD);  // an odd octet at the end
  return text;
}

}  // namespace

std::optional<Encoding> EncodingOfDataCoding(int data_coding) {
  switch (data_coding) {
    case 0:
      return Encoding::Gsm7;
    case 1:
      return Encoding::Ascii;
    case 3:
      return Encoding::Latin1;
    case 8:
      return Encoding::Ucs2;
    default:
      return std::nullopt;
  }
}

std::vector<uint8_t> EncodeAscii(std::string_view utf8) {
  return EncodeOneOctet(utf8, 0x7F, "ASCII");
}

std::vector<uint8_t> EncodeLatin1(std::string_view utf8) {
  return EncodeOneOctet(utf8, 0xFF, "Latin-1");
}

std::vector<uint8_t> EncodeUcs2(std::string_view utf8) {
  const std::u32string code_points = CodePointsOf(utf8);
  std::vector<uint8_t> octets;
  octets.reserve(code_points.size() * 2);
  const auto put = [&](char32_t unit) {
    octets.push_back(static_cast<uint8_t>(unit >> 8));
    octets.push_back(static_cast<uint8_t>(unit));
  };
  for (const char32_t c : code_points) {
    if (c < 0x10000) {
      put(c);
    } else {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return octets;
}

EncodedText Encode(std::string_view utf8, Encoding encoding) {
  EncodedText encoded;
  if (encoding == Encoding::Auto) {
    // One pass: GSM 7-bit when every character has a code, else UCS-2.
    auto septets = detail::TryGsm7(CodePointsOf(utf8));
    encoding = septets ? Encoding::Gsm7 : Encoding::Ucs2;
    if (septets) encoded.octets = std::move(*septets);
  }
  encoded.encoding = encoding;
  encoded.data_coding = static_cast<int>(encoding);
  switch (encoding) {
    case Encoding::Ascii:
      encoded.octets = EncodeAscii(utf8);
      break;
    case Encoding::Latin1:
      encoded.octets = EncodeLatin1(utf8);
      break;
    case Encoding::Ucs2:
      encoded.octets = EncodeUcs2(utf8);
      break;
    default:
      if (encoded.octets.empty()) encoded.octets = EncodeGsm7(utf8);
      break;
  }
  return encoded;
}

std::string DecodeToUtf8(std::span<const uint8_t> octets, int data_coding) {
  std::u32string text;
  switch (data_coding) {
    case 0:
      text = detail::DecodeGsm7(octets);
      break;
    case 8:
      text = DecodeUtf16Be(octets);
      break;
    default:
      text.reserve(octets.size());
      for (const uint8_t octet : octets)
        text.push_back(data_coding == 1 && octet > 0x7F ? char32_t{0xFFFD} : char32_t{octet});
  }
  return Utf8Of(text);
}

std::string DecodeBodyToUtf8(std::span<const uint8_t> body, int data_coding, bool has_udh) {
  if (has_udh && !body.empty()) {
    const std::size_t header = std::size_t{body[0]} + 1;
    body = body.subspan(std::min(header, body.size()));
  }
  return DecodeToUtf8(body, data_coding);
}

std::vector<uint8_t> BodyOf(const MessageObject& message) {
  for (const Variant* value : {&message.PayloadBytes, &message.Payload}) {
    if (value->IsBytes() && !value->Bytes().empty()) return value->Bytes();
  }
  if (message.Payload.IsText() && !message.Payload.Text().empty())
    return {message.Payload.Text().begin(), message.Payload.Text().end()};
  for (const Variant* value : {&message.ShortMessageBytes, &message.ShortMessage}) {
    if (value->IsBytes() && !value->Bytes().empty()) return value->Bytes();
  }
  const std::string text = message.ShortMessage.ToText();
  return {text.begin(), text.end()};
}

std::string TextOf(const MessageObject& message) {
  const bool has_udh = (static_cast<int32_t>(message.MessageType) & 0x40) != 0;
  return DecodeBodyToUtf8(BodyOf(message), static_cast<int>(message.DataCoding), has_udh);
}

}  // namespace korvane::text
