// UTF-8 to each alphabet and back, byte for byte.
#include <gtest/gtest.h>

#include "korvane/text.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::Hex;
using testing::HexText;
using text::Encoding;

struct EncodeRow {
  const char* utf8;
  Encoding encoding;
  const char* hex;
  int data_coding;
};

void PrintTo(const EncodeRow& row, std::ostream* out) {
  *out << "dc" << row.data_coding << " " << row.hex;
}

class EncodeTable : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(EncodeTable, EncodesAndDecodesBack) {
  const EncodeRow& row = GetParam();
  const text::EncodedText encoded = text::Encode(row.utf8, row.encoding);
  EXPECT_EQ(HexText(encoded.octets), row.hex);
  EXPECT_EQ(encoded.data_coding, row.data_coding);
  EXPECT_EQ(text::DecodeToUtf8(encoded.octets, encoded.data_coding), row.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, EncodeTable,
    ::testing::Values(EncodeRow{"hello", Encoding::Auto, "68 65 6C 6C 6F", 0},
                      EncodeRow{"@£$¥èéùìòÇ", Encoding::Gsm7, "00 01 02 03 04 05 06 07 08 09", 0},
                      EncodeRow{"ΔΦΓΛΩΠΨΣΘΞ", Encoding::Gsm7, "10 12 13 14 15 16 17 18 19 1A", 0},
                      EncodeRow{"¤¡ÄÖÑÜ§¿äöñüà_", Encoding::Gsm7,
                                "24 40 5B 5C 5D 5E 5F 60 7B 7C 7D 7E 7F 11", 0},
                      // Each extension character costs the escape and its code.
                      EncodeRow{"€^{}[]~\\|\f", Encoding::Auto,
                                "1B 65 1B 14 1B 28 1B 29 1B 3C 1B 3E 1B 3D 1B 2F 1B 40 1B 0A", 0},
                      EncodeRow{"Grüße, €5", Encoding::Auto, "47 72 7E 1E 65 2C 20 1B 65 35", 0},
                      EncodeRow{"Привет", Encoding::Auto, "04 1F 04 40 04 38 04 32 04 35 04 42", 8},
                      EncodeRow{"a😀", Encoding::Ucs2, "00 61 D8 3D DE 00", 8},
                      EncodeRow{"Grüße ÿ", Encoding::Latin1, "47 72 FC DF 65 20 FF", 3},
                      EncodeRow{"A~z", Encoding::Ascii, "41 7E 7A", 1}));

struct RefusalRow {
  const char* utf8;
  Encoding encoding;
  const char* message;
  std::size_t position;
};

void PrintTo(const RefusalRow& row, std::ostream* out) {
  std::string name = std::string(row.message).substr(0, 6);
  for (char& c : name)
    if (static_cast<unsigned char>(c) > 0x7E) c = '.';
  *out << name << " at " << row.position;
}

class RefusalTable : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RefusalTable, NamesTheCharacterAndItsPosition) {
  const RefusalRow& row = GetParam();
  try {
    text::Encode(row.utf8, row.encoding);
    FAIL() << "encoded";
  } catch (const text::TextError& error) {
    EXPECT_STREQ(error.what(), row.message);
    EXPECT_EQ(error.Position(), row.position);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RefusalTable,
    ::testing::Values(RefusalRow{"abcé", Encoding::Ascii,
                                 "U+00E9 'é' at position 4 cannot be encoded in ASCII", 4},
                      RefusalRow{"ok €", Encoding::Latin1,
                                 "U+20AC '€' at position 4 cannot be encoded in Latin-1", 4},
                      RefusalRow{"Привет", Encoding::Gsm7,
                                 "U+041F 'П' at position 1 cannot be encoded in GSM 7-bit", 1},
                      RefusalRow{"a\x01", Encoding::Gsm7,
                                 "U+0001 at position 2 cannot be encoded in GSM 7-bit", 2},
                      RefusalRow{"ab\xC3", Encoding::Auto,
                                 "invalid UTF-8 at byte 3: octet 0xC3 (sequence cut short)", 3},
                      RefusalRow{"\xC0\xAF", Encoding::Ucs2,
                                 "invalid UTF-8 at byte 1: octet 0xC0 (overlong form)", 1},
                      RefusalRow{"\xED\xA0\x80", Encoding::Ucs2,
                                 "invalid UTF-8 at byte 1: octet 0xED (not a Unicode scalar value)",
                                 1},
                      RefusalRow{"x\xFF", Encoding::Latin1,
                                 "invalid UTF-8 at byte 2: octet 0xFF (not a lead octet)", 2}));

TEST(Gsm7Packing, PacksAndUnpacksTheKnownVectors) {
  const auto septets = text::EncodeGsm7("hellohello");
  EXPECT_EQ(HexText(text::PackSeptets(septets)), "E8 32 9B FD 46 97 D9 EC 37");
  EXPECT_EQ(text::UnpackSeptets(Hex("E8 32 9B FD 46 97 D9 EC 37"), 10), septets);
  // After a six-octet UDH one fill bit aligns the septets.
  EXPECT_EQ(HexText(text::PackSeptets(text::EncodeGsm7("Hi"), 1)), "90 69");
  EXPECT_EQ(text::UnpackSeptets(Hex("90 69"), 2, 1), text::EncodeGsm7("Hi"));
  // Asking for more septets than the octets hold stops at their end.
  EXPECT_EQ(text::UnpackSeptets(Hex("E8"), 5).size(), 1u);
}

struct DecodeRow {
  const char* hex;
  int data_coding;
  bool udh;
  const char* utf8;
};

void PrintTo(const DecodeRow& row, std::ostream* out) {
  *out << "dc" << row.data_coding << " " << row.hex;
}

class DecodeTable : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeTable, DecodesReceivedOctetsTolerantly) {
  const DecodeRow& row = GetParam();
  EXPECT_EQ(text::DecodeBodyToUtf8(Hex(row.hex), row.data_coding, row.udh), row.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Received, DecodeTable,
    ::testing::Values(DecodeRow{"05 00 03 07 02 01 48 69", 0, true, "Hi"},
                      DecodeRow{"06 08 04 00 07 02 01 00 48", 8, true, "H"},
                      DecodeRow{"09 00 03", 0, true, ""},       // header longer than the body
                      DecodeRow{"48 69 1B", 0, false, "Hi"},    // a lone escape at the end
                      DecodeRow{"1B 41", 0, false, "A"},        // an unknown escape
                      DecodeRow{"48 80", 0, false, "H\uFFFD"},  // not a septet
                      DecodeRow{"48 E9", 1, false, "H\uFFFD"},  // not ASCII
                      DecodeRow{"48 E9", 3, false, "Hé"},
                      DecodeRow{"48 E9", 4, false, "Hé"},             // binary: octets as they are
                      DecodeRow{"D8 3D 00 41", 8, false, "\uFFFDA"},  // lone surrogate
                      DecodeRow{"00 41 00", 8, false, "A\uFFFD"}));   // odd octet

TEST(MessageText, ReadsPayloadBeforeShortMessageAndSkipsTheUdh) {
  MessageObject message;
  message.DataCoding = SMSDataCodingSchemes::dcsUCS2;
  message.MessageType = MessageTypes::escmUDHI;
  message.ShortMessageBytes = Variant(Hex("05 00 03 01 02 01 00 4F 00 4B"));
  EXPECT_EQ(text::TextOf(message), "OK");
  message.PayloadBytes = Variant(Hex("05 00 03 01 02 01 04 1F"));
  EXPECT_EQ(text::TextOf(message), "П");
}

}  // namespace
}  // namespace korvane
