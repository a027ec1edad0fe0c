// Long texts in parts: the limits, the cut points and the headers.
#include <gtest/gtest.h>

#include "korvane/text.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::HexText;
using text::Encoding;
using text::SplitMethod;

std::vector<uint8_t> Body(const MessageObject& message) { return text::BodyOf(message); }

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

struct LimitRow {
  std::string utf8;
  SplitMethod method;
  std::vector<std::size_t> body_sizes;  // octets of each part, header included
};

void PrintTo(const LimitRow& row, std::ostream* out) {
  *out << row.utf8.size() << " octets of UTF-8, method " << static_cast<int>(row.method);
}

class LimitTable : public ::testing::TestWithParam<LimitRow> {};

TEST_P(LimitTable, SplitsAtTheLimitsOfTheAlphabet) {
  const LimitRow& row = GetParam();
  text::SplitOptions options;
  options.method = row.method;
  const auto parts = text::SplitText(row.utf8, options);
  std::vector<std::size_t> sizes;
  for (const MessageObject& part : parts) sizes.push_back(Body(part).size());
  EXPECT_EQ(sizes, row.body_sizes);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, LimitTable,
    ::testing::Values(
        LimitRow{Repeat("a", 160), SplitMethod::Udh8, {160}},
        LimitRow{Repeat("a", 161), SplitMethod::Udh8, {6 + 153, 6 + 8}},
        LimitRow{Repeat("a", 153 * 3), SplitMethod::Udh8, {159, 159, 159}},
        LimitRow{Repeat("a", 161), SplitMethod::Udh16, {7 + 152, 7 + 9}},
        LimitRow{Repeat("a", 161), SplitMethod::Sar, {153, 8}},
        // The escape of the 153rd septet would end the part: it moves on.
        LimitRow{Repeat("a", 152) + "€" + Repeat("a", 10), SplitMethod::Udh8, {6 + 152, 6 + 12}},
        LimitRow{Repeat("€", 80), SplitMethod::Udh8, {160}},
        LimitRow{Repeat("€", 81), SplitMethod::Udh8, {6 + 152, 6 + 10}},
        LimitRow{Repeat("П", 70), SplitMethod::Udh8, {140}},
        LimitRow{Repeat("П", 71), SplitMethod::Udh8, {6 + 134, 6 + 8}},
        LimitRow{Repeat("П", 71), SplitMethod::Udh16, {7 + 132, 7 + 10}},
        // A surrogate pair at the 67th unit goes whole into the next part.
        LimitRow{Repeat("П", 66) + "😀" + Repeat("П", 4), SplitMethod::Udh8, {6 + 132, 6 + 12}},
        LimitRow{Repeat("a", 400), SplitMethod::Payload, {400}}));

TEST(SplitText, ATextThatFitsGoesWholeWithoutHeader) {
  MessageObject prototype;
  prototype.DestAddress = "447700900123";
  const auto parts = text::SplitText("Grüße, €5", {}, prototype);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].DestAddress, "447700900123");
  EXPECT_EQ(static_cast<int>(parts[0].MessageType), 0);
  EXPECT_EQ(HexText(Body(parts[0])), "47 72 7E 1E 65 2C 20 1B 65 35");
  EXPECT_TRUE(parts[0].TLVs.empty());
}

TEST(SplitText, HeadersCarryReferenceTotalAndNumber) {
  text::SplitOptions options{Encoding::Auto, SplitMethod::Udh8, 0x1234, false};
  auto parts = text::SplitText(Repeat("a", 200), options);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(HexText(Body(parts[1])).substr(0, 17), "05 00 03 34 02 02");
  EXPECT_EQ(static_cast<int>(parts[1].MessageType), 0x40);
  options.method = SplitMethod::Udh16;
  parts = text::SplitText(Repeat("a", 200), options);
  EXPECT_EQ(HexText(Body(parts[0])).substr(0, 20), "06 08 04 12 34 02 01");
  options.method = SplitMethod::Sar;
  parts = text::SplitText(Repeat("a", 200), options);
  ASSERT_EQ(parts[1].TLVs.size(), 3u);
  EXPECT_EQ(static_cast<int>(parts[1].MessageType), 0);
  EXPECT_EQ(parts[1].TLVs[0].Tag, 0x020C);
  EXPECT_EQ(parts[1].TLVs[0].TagValue, std::string("\x12\x34"));
  EXPECT_EQ(parts[1].TLVs[1].Tag, 0x020E);
  EXPECT_EQ(parts[1].TLVs[1].TagValue, std::string("\x02"));
  EXPECT_EQ(parts[1].TLVs[2].Tag, 0x020F);
  EXPECT_EQ(parts[1].TLVs[2].TagValue, std::string("\x02"));
}

TEST(SplitText, PackedPartsAlignTheSeptetsAfterTheHeader) {
  text::SplitOptions options;
  options.packed = true;
  const auto parts = text::SplitText(Repeat("a", 153) + "hellohello", options);
  ASSERT_EQ(parts.size(), 2u);
  // 6 header octets, 1 fill bit, 10 septets: 6 + 9 octets.
  const std::vector<uint8_t> body = Body(parts[1]);
  ASSERT_EQ(body.size(), 15u);
  EXPECT_EQ(text::UnpackSeptets(std::span(body).subspan(6), 10, 1), text::EncodeGsm7("hellohello"));
  EXPECT_EQ(HexText(Body(text::SplitText("hellohello", options)[0])), "E8 32 9B FD 46 97 D9 EC 37");
}

TEST(SplitText, MoreThan255PartsIsAnError) {
  EXPECT_EQ(text::SplitText(Repeat("a", 153 * 255), {}).size(), 255u);
  EXPECT_THROW(text::SplitText(Repeat("a", 153 * 255 + 1), {}), text::TextError);
}

TEST(SplitText, BinaryOctetsUseTheEightBitLimits) {
  const std::vector<uint8_t> octets(135, 0xAB);
  const auto parts = text::SplitOctets(octets, 4, {});
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(text::SplitOctets(std::vector<uint8_t>(141, 1), 4, {}).size(), 2u);
  EXPECT_EQ(static_cast<int>(parts[0].DataCoding), 4);
}

TEST(ConcatenationReferences, CountsOnAndWraps) {
  text::ConcatenationReferences references(0xFFFF);
  EXPECT_EQ(references.Next(), 0xFFFF);
  EXPECT_EQ(references.Next(), 0);
  EXPECT_EQ(references.Next(), 1);
}

}  // namespace
}  // namespace korvane
