#include "vocabulary/octets.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "codec_test_util.hpp"
#include "vocabulary/sequence_counter.hpp"

namespace korvane::vocabulary {
namespace {

std::vector<uint8_t> ToVector(std::span<const uint8_t> octets) {
  return {octets.begin(), octets.end()};
}

TEST(OctetsTest, LongToOctetsIsBigEndianTwosComplement) {
  EXPECT_EQ(ToVector(LongToOctets(1)), Hex("00 00 00 01"));
  EXPECT_EQ(ToVector(LongToOctets(0x7FFFFFFF)), Hex("7F FF FF FF"));
  EXPECT_EQ(ToVector(LongToOctets(-1)), Hex("FF FF FF FF"));
  EXPECT_EQ(ToVector(LongToOctets(std::numeric_limits<int32_t>::min())), Hex("80 00 00 00"));
}

TEST(OctetsTest, ShortToOctetsKeepsLowSixteenBits) {
  EXPECT_EQ(ToVector(ShortToOctets(0x1234)), Hex("12 34"));
  EXPECT_EQ(ToVector(ShortToOctets(0x00012345)), Hex("23 45"));
  EXPECT_EQ(ToVector(ShortToOctets(-2)), Hex("FF FE"));
}

TEST(OctetsTest, ToOctetAcceptsOnlyZeroTo255) {
  EXPECT_EQ(ToOctet(0), 0);
  EXPECT_EQ(ToOctet(255), 255);
  EXPECT_EQ(ErrorNumberOf([] { ToOctet(256); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { ToOctet(-1); }), 6);
}

TEST(OctetsTest, BigEndianDecodingInvertsEncoding) {
  const auto long_octets = LongToOctets(-123456789);
  EXPECT_EQ(static_cast<int32_t>(BigEndian32(long_octets)), -123456789);
  const auto short_octets = ShortToOctets(0xBEEF);
  EXPECT_EQ(BigEndian16(short_octets), 0xBEEF);
}

TEST(SequenceCounterTest, NewCounterHandsOutFourThenFive) {
  SequenceCounter counter;
  EXPECT_EQ(counter.Last(), 3);
  EXPECT_EQ(counter.Next(), 4);
  EXPECT_EQ(counter.Next(), 5);
  EXPECT_EQ(counter.Last(), 5);
}

TEST(SequenceCounterTest, WrapsFromMaximumToOneNeverZeroOrNegative) {
  SequenceCounter counter(0x7FFFFFFE);
  EXPECT_EQ(counter.Next(), 0x7FFFFFFF);
  EXPECT_EQ(counter.Next(), 1);
  for (int32_t last : {0, -1, std::numeric_limits<int32_t>::min()}) {
    counter.SetLast(last);
    EXPECT_EQ(counter.Next(), 1) << "after " << last;
  }
}

}  // namespace
}  // namespace korvane::vocabulary
