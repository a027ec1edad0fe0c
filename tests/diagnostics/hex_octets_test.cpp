// Hexadecimal PDU text: blank handling, digit forms, and the two errors.
#include "diagnostics/hex_octets.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "support/test_util.hpp"

namespace korvane::diagnostics {
namespace {

using korvane::testing::ErrorNumberOf;
using korvane::testing::Hex;

TEST(HexOctetsTest, ParsesPduWithExtraBlanks) {
  EXPECT_EQ(ParseHexOctets("00 00 00 10 80 00 00 15  00 00 00 00 00 00 00 01"),
            Hex("00 00 00 10 80 00 00 15 00 00 00 00 00 00 00 01"));
}

TEST(HexOctetsTest, AcceptsAnyCaseAndDigitCount) {
  EXPECT_EQ(ParseHexOctets("  a 1A ff 0 001a 000000000000FF  "),
            (std::vector<uint8_t>{0x0A, 0x1A, 0xFF, 0x00, 0x1A, 0xFF}));
  EXPECT_TRUE(ParseHexOctets("").empty());
  EXPECT_TRUE(ParseHexOctets("   ").empty());
}

TEST(HexOctetsTest, RejectsBadPiecesWithTheFirstOneDeciding) {
  const struct {
    std::string_view text;
    int32_t number;
  } cases[] = {
      {"XY", 13},
      {"0x1A", 13},
      {"-1", 13},
      {"+1", 13},
      {"1A\t2B", 13},  // only the space separates pieces
      {"100", 6},
      {"FFFFFFFFFFFFFFFFFFFF", 6},
      {"10000000000000000000000000000000A", 6},  // would wrap to 0x0A in a 32-bit value
      {"00 100 XY", 6},
      {"00 XY 100", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { ParseHexOctets(c.text); }), c.number);
  }
}

}  // namespace
}  // namespace korvane::diagnostics
