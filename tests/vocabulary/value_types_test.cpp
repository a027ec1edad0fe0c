#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "codec_test_util.hpp"
#include "korvane/date_time.hpp"
#include "korvane/variant.hpp"
#include "vocabulary/numeric_text.hpp"

namespace korvane {

// Lets failed expectations show dates readably.
void PrintTo(const DateTime& date, std::ostream* out) { *out << date.ToString(); }

namespace {

using vocabulary::ErrorNumberOf;

TEST(VariantTest, EachKindAnswersOnlyItsOwnAccessor) {
  const Variant empty;
  const Variant text("abc");
  const Variant bytes(std::vector<uint8_t>{0x41, 0x00, 0xFF});
  const Variant number(-7);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(text.IsText());
  EXPECT_TRUE(bytes.IsBytes());
  EXPECT_TRUE(number.IsInteger());
  EXPECT_EQ(ErrorNumberOf([&] { text.Bytes(); }), 13);
  EXPECT_EQ(ErrorNumberOf([&] { bytes.Integer(); }), 13);
  EXPECT_EQ(ErrorNumberOf([&] { number.Text(); }), 13);
  EXPECT_EQ(ErrorNumberOf([&] { empty.Text(); }), 13);
}

TEST(VariantTest, ToTextGivesRawOctetsDecimalOrEmpty) {
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant("x y").ToText(), "x y");
  EXPECT_EQ(Variant(std::vector<uint8_t>{0x41, 0x00, 0xFF}).ToText(), std::string("A\0\xFF", 3));
  EXPECT_EQ(Variant(std::numeric_limits<int64_t>::min()).ToText(), "-9223372036854775808");
}

TEST(VariantTest, IntegralAndBoolConstructionAndEquality) {
  EXPECT_EQ(Variant(true), Variant(1));
  EXPECT_EQ(Variant(false).Integer(), 0);
  EXPECT_EQ(Variant(int16_t{5}), Variant(int64_t{5}));
  EXPECT_EQ(Variant(uint8_t{255}).Integer(), 255);
  EXPECT_NE(Variant("5"), Variant(5));
  EXPECT_NE(Variant(""), Variant());
  EXPECT_NE(Variant(std::vector<uint8_t>{}), Variant(""));
}

TEST(DateTimeTest, DefaultIsTheZeroDate) {
  EXPECT_TRUE(DateTime{}.IsZero());
  EXPECT_EQ(DateTime{}.ToString(), "1899-12-30 00:00:00");
  EXPECT_FALSE(DateTime(1899, 12, 30, 0, 0, 1).IsZero());
}

TEST(DateTimeTest, AddSecondsRollsOverDaysMonthsYearsAndLeapDays) {
  struct Case {
    DateTime start;
    int64_t seconds;
    DateTime expected;
  };
  const Case cases[] = {
      {{2004, 3, 12, 23, 59, 59}, 1, {2004, 3, 13}}, {{1999, 12, 31, 23, 59, 59}, 1, {2000, 1, 1}},
      {{2024, 2, 28, 12}, 86400, {2024, 2, 29, 12}}, {{2023, 2, 28, 12}, 86400, {2023, 3, 1, 12}},
      {{1900, 2, 28}, 86400, {1900, 3, 1}},          {{2000, 2, 28}, 86400, {2000, 2, 29}},
      {{2000, 3, 1}, -1, {2000, 2, 29, 23, 59, 59}}, {{2000, 1, 1}, -86400 * 365LL, {1999, 1, 1}},
      {{}, -1, {1899, 12, 29, 23, 59, 59}},          {{2029, 12, 31}, 0, {2029, 12, 31}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.start.AddSeconds(c.seconds), c.expected)
        << c.start.ToString() << " + " << c.seconds;
  }
}

TEST(DateTimeTest, AddSecondsBeyondRepresentableYearsOverflows) {
  const DateTime date(2000, 1, 1);
  EXPECT_EQ(ErrorNumberOf([&] { date.AddSeconds(std::numeric_limits<int64_t>::max()); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { date.AddSeconds(std::numeric_limits<int64_t>::min()); }), 6);
}

TEST(NumericTextTest, FollowsTheSignDigitsAndBlanksRule) {
  struct Case {
    const char* text;
    bool numeric;
    double value;
  };
  const Case cases[] = {
      {"12.0", true, 12.0}, {" 7 ", true, 7},  {"-1", true, -1},   {"+5", true, 5},
      {".5", true, 0.5},    {"5.", true, 5},   {"abc", false, 0},  {"", false, 0},
      {"1e3", false, 0},    {"+", false, 0},   {".", false, 0},    {"1 2", false, 0},
      {"- 1", false, 0},    {"12a", false, 0}, {"\t3\t", true, 3},
  };
  for (const Case& c : cases) {
    const auto value = vocabulary::NumericValue(c.text);
    EXPECT_EQ(vocabulary::IsNumericText(c.text), c.numeric) << '"' << c.text << '"';
    if (c.numeric && value) {
      EXPECT_DOUBLE_EQ(*value, c.value) << '"' << c.text << '"';
    }
  }
}

}  // namespace
}  // namespace korvane
