// UTF-8 to each alphabet and back byte for byte, received octets decoded
// tolerantly, and long texts in parts: the limits, cut points and headers.
#include <gtest/gtest.h>

#include "korvane/text.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::Hex;
using testing::HexText;
using text::Encoding;
using text::SplitMethod;

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(Alphabets, EncodeAndDecodeBack) {
  const struct {
    const char* utf8;
    Encoding encoding;
    const char* hex;
    int data_coding;
  } rows[] = {{"hello", Encoding::Auto, "68 65 6C 6C 6F", 0},
              {"@£$¥èéùìòÇ", Encoding::Gsm7, "00 01 02 03 04 05 06 07 08 09", 0},
              {"ΔΦΓΛΩΠΨΣΘΞ", Encoding::Gsm7, "10 12 13 14 15 16 17 18 19 1A", 0},
              {"¤¡ÄÖÑÜ§¿äöñüà_", Encoding::Gsm7, "24 40 5B 5C 5D 5E 5F 60 7B 7C 7D 7E 7F 11", 0},
              // Each extension character costs the escape and its code.
              {"€^{}[]~\\|\f", Encoding::Auto,
               "1B 65 1B 14 1B 28 1B 29 1B 3C 1B 3E 1B 3D 1B 2F 1B 40 1B 0A", 0},
              {"Grüße, €5", Encoding::Auto, "47 72 7E 1E 65 2C 20 1B 65 35", 0},
              {"Привет", Encoding::Auto, "04 1F 04 40 04 38 04 32 04 35 04 42", 8},
              {"a😀", Encoding::Ucs2, "00 61 D8 3D DE 00", 8},
              {"Grüße ÿ", Encoding::Latin1, "47 72 FC DF 65 20 FF", 3},
              {"A~z", Encoding::Ascii, "41 7E 7A", 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.hex);
    const text::EncodedText encoded = text::Encode(row.utf8, row.encoding);
    EXPECT_EQ(HexText(encoded.octets), row.hex);
    EXPECT_EQ(encoded.data_coding, row.data_coding);
    EXPECT_EQ(text::DecodeToUtf8(encoded.octets, encoded.data_coding), row.utf8);
  }
}

TEST(Alphabets, RefusalsNameTheCharacterAndItsPosition) {
  const struct {
    const char* utf8;
    Encoding encoding;
    const char* message;
    std::size_t position;
  } rows[] = {
      {"abcé", Encoding::Ascii, "U+00E9 'é' at position 4 cannot be encoded in ASCII", 4},
      {"ok €", Encoding::Latin1, "U+20AC '€' at position 4 cannot be encoded in Latin-1", 4},
      {"Привет", Encoding::Gsm7, "U+041F 'П' at position 1 cannot be encoded in GSM 7-bit", 1},
      {"a\x01", Encoding::Gsm7, "U+0001 at position 2 cannot be encoded in GSM 7-bit", 2},
      {"ab\xC3", Encoding::Auto, "invalid UTF-8 at byte 3: octet 0xC3 (sequence cut short)", 3},
      {"\xC0\xAF", Encoding::Ucs2, "invalid UTF-8 at byte 1: octet 0xC0 (overlong form)", 1},
      {"\xED\xA0\x80", Encoding::Ucs2,
       "invalid UTF-8 at byte 1: octet 0xED (not a Unicode scalar value)", 1},
      {"x\xFF", Encoding::Latin1, "invalid UTF-8 at byte 2: octet 0xFF (not a lead octet)", 2}};
  for (const auto& row : rows) {
    try {
      text::Encode(row.utf8, row.encoding);
      ADD_FAILURE() << row.message;
    } catch (const text::TextError& error) {
      EXPECT_STREQ(error.what(), row.message);
      EXPECT_EQ(error.Position(), row.position) << row.message;
    }
  }
}

TEST(Alphabets, Gsm7PackingAndReceivedOctets) {
  // (Packing without a header: the packed split below.)
  EXPECT_EQ(text::UnpackSeptets(Hex("E8 32 9B FD 46 97 D9 EC 37"), 10),
            text::EncodeGsm7("hellohello"));
  // After a six-octet UDH one fill bit aligns the septets.
  EXPECT_EQ(HexText(text::PackSeptets(text::EncodeGsm7("Hi"), 1)), "90 69");
  EXPECT_EQ(text::UnpackSeptets(Hex("90 69"), 2, 1), text::EncodeGsm7("Hi"));
  // Asking for more septets than the octets hold stops at their end.
  EXPECT_EQ(text::UnpackSeptets(Hex("E8"), 5).size(), 1u);
  const struct {
    const char* hex;
    int data_coding;
    bool udh;
    const char* utf8;
  } received[] = {{"05 00 03 07 02 01 48 69", 0, true, "Hi"},
                  {"06 08 04 00 07 02 01 00 48", 8, true, "H"},
                  {"09 00 03", 0, true, ""},       // header longer than the body
                  {"48 69 1B", 0, false, "Hi"},    // a lone escape at the end
                  {"1B 41", 0, false, "A"},        // an unknown escape
                  {"48 80", 0, false, "H\uFFFD"},  // not a septet
                  {"48 E9", 1, false, "H\uFFFD"},  // not ASCII
                  {"48 E9", 3, false, "Hé"},
                  {"48 E9", 4, false, "Hé"},             // binary: octets as they are
                  {"D8 3D 00 41", 8, false, "\uFFFDA"},  // lone surrogate
                  {"00 41 00", 8, false, "A\uFFFD"}};    // odd octet
  for (const auto& row : received)
    EXPECT_EQ(text::DecodeBodyToUtf8(Hex(row.hex), row.data_coding, row.udh), row.utf8) << row.hex;
  // A message's text: the payload before the short message, the UDH skipped.
  MessageObject message;
  message.DataCoding = SMSDataCodingSchemes::dcsUCS2;
  message.MessageType = MessageTypes::escmUDHI;
  message.ShortMessageBytes = Variant(Hex("05 00 03 01 02 01 00 4F 00 4B"));
  EXPECT_EQ(text::TextOf(message), "OK");
  message.PayloadBytes = Variant(Hex("05 00 03 01 02 01 04 1F"));
  EXPECT_EQ(text::TextOf(message), "П");
}

TEST(SplitText, PartsAtTheLimitsOfTheAlphabet) {
  const struct {
    std::string utf8;
    SplitMethod method;
    std::vector<std::size_t> body_sizes;  // octets of each part, header included
  } rows[] = {{Repeat("a", 160), SplitMethod::Udh8, {160}},
              {Repeat("a", 161), SplitMethod::Udh8, {6 + 153, 6 + 8}},
              {Repeat("a", 153 * 3), SplitMethod::Udh8, {159, 159, 159}},
              {Repeat("a", 161), SplitMethod::Udh16, {7 + 152, 7 + 9}},
              {Repeat("a", 161), SplitMethod::Sar, {153, 8}},
              // The escape of the 153rd septet would end the part: it moves on.
              {Repeat("a", 152) + "€" + Repeat("a", 10), SplitMethod::Udh8, {6 + 152, 6 + 12}},
              {Repeat("€", 80), SplitMethod::Udh8, {160}},
              {Repeat("€", 81), SplitMethod::Udh8, {6 + 152, 6 + 10}},
              {Repeat("П", 70), SplitMethod::Udh8, {140}},
              {Repeat("П", 71), SplitMethod::Udh8, {6 + 134, 6 + 8}},
              {Repeat("П", 71), SplitMethod::Udh16, {7 + 132, 7 + 10}},
              // A surrogate pair at the 67th unit goes whole into the next part.
              {Repeat("П", 66) + "😀" + Repeat("П", 4), SplitMethod::Udh8, {6 + 132, 6 + 12}},
              {Repeat("a", 400), SplitMethod::Payload, {400}}};
  for (const auto& row : rows) {
    std::vector<std::size_t> sizes;
    for (const MessageObject& part : text::SplitText(row.utf8, {.method = row.method}))
      sizes.push_back(text::BodyOf(part).size());
    EXPECT_EQ(sizes, row.body_sizes) << row.utf8.size() << " octets, method " << int(row.method);
  }
  // More than 255 parts is an error.
  EXPECT_EQ(text::SplitText(Repeat("a", 153 * 255), {}).size(), 255u);
  EXPECT_THROW(text::SplitText(Repeat("a", 153 * 255 + 1), {}), text::TextError);
  // Binary octets use the eight-bit limits.
  const auto octets = text::SplitOctets(std::vector<uint8_t>(140, 0xAB), 4, {});
  ASSERT_EQ(octets.size(), 1u);
  EXPECT_EQ(static_cast<int>(octets[0].DataCoding), 4);
  EXPECT_EQ(text::SplitOctets(std::vector<uint8_t>(141, 1), 4, {}).size(), 2u);
}

TEST(SplitText, HeadersCarryReferenceTotalAndNumber) {
  MessageObject prototype;
  prototype.DestAddress = "447700900123";
  const auto whole = text::SplitText("Grüße, €5", {}, prototype);  // fits: no header
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].DestAddress, "447700900123");
  EXPECT_EQ(static_cast<int>(whole[0].MessageType), 0);
  EXPECT_TRUE(whole[0].TLVs.empty());
  text::SplitOptions options{Encoding::Auto, SplitMethod::Udh8, 0x1234, false};
  auto parts = text::SplitText(Repeat("a", 200), options);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(HexText(text::BodyOf(parts[1])).substr(0, 17), "05 00 03 34 02 02");
  EXPECT_EQ(static_cast<int>(parts[1].MessageType), 0x40);
  options.method = SplitMethod::Udh16;
  parts = text::SplitText(Repeat("a", 200), options);
  EXPECT_EQ(HexText(text::BodyOf(parts[0])).substr(0, 20), "06 08 04 12 34 02 01");
  options.method = SplitMethod::Sar;
  parts = text::SplitText(Repeat("a", 200), options);
  EXPECT_EQ(static_cast<int>(parts[1].MessageType), 0);
  std::string tlvs;
  for (const TLV& tlv : parts[1].TLVs)
    tlvs += std::to_string(tlv.Tag) + ":" + HexText(testing::Octets(tlv.TagValue)) + " ";
  EXPECT_EQ(tlvs, "524:12 34 526:02 527:02 ");  // 0x020C, 0x020E, 0x020F
  // Packed: 6 header octets, 1 fill bit, 10 septets make 6 + 9 octets.
  options = {.packed = true};
  parts = text::SplitText(Repeat("a", 153) + "hellohello", options);
  ASSERT_EQ(parts.size(), 2u);
  const std::vector<uint8_t> body = text::BodyOf(parts[1]);
  ASSERT_EQ(body.size(), 15u);
  EXPECT_EQ(text::UnpackSeptets(std::span(body).subspan(6), 10, 1), text::EncodeGsm7("hellohello"));
  EXPECT_EQ(HexText(text::BodyOf(text::SplitText("hellohello", options)[0])),
            "E8 32 9B FD 46 97 D9 EC 37");
  // References count on and wrap.
  text::ConcatenationReferences references(0xFFFF);
  EXPECT_EQ(references.Next(), 0xFFFF);
  EXPECT_EQ(references.Next(), 0);
  EXPECT_EQ(references.Next(), 1);
}

}  // namespace
}  // namespace korvane
