// SMPP time strings and the time-zone suffix.
#include "vocabulary/time_strings.hpp"

#include <gtest/gtest.h>

#include <string>

#include "korvane/date_time.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using namespace vocabulary;
using testing::ErrorNumberOf;

TEST(TimeStringsTest, SuffixIsTheBiasInQuarterHoursWithTheSignOfLocalTime) {
  EXPECT_EQ(TimeZoneSuffixOf(-180), "12+");  // three hours east of UTC
  EXPECT_EQ(TimeZoneSuffixOf(300), "20-");   // five hours west
  EXPECT_EQ(TimeZoneSuffixOf(0), "00-");
  EXPECT_EQ(TimeZoneSuffixOf(-345), "23+");  // 5 h 45 min east
  EXPECT_EQ(TimeZoneSuffixOf(-30), "02+");
  EXPECT_EQ(TimeZoneSuffixOf(-50), "03+");     // 3.33 quarters rounds to 3
  EXPECT_EQ(TimeZoneSuffixOf(-1560), "104+");  // more than two digits is kept whole
}

TEST(TimeStringsTest, OnlyTwoDigitsAndASignAreAcceptedAsSuffix) {
  for (const char* good : {"08+", "04-", "00-", "99+"})
    EXPECT_TRUE(IsAcceptableTimeZoneSuffix(good));
  for (const char* bad : {"8+", "008+", "08*", "ab+", "", " 8+", "-8+", "8 -", "1.+"})
    EXPECT_FALSE(IsAcceptableTimeZoneSuffix(bad)) << '"' << bad << '"';
}

TEST(TimeStringsTest, AbsoluteFormIsLocalTimeTenthsZeroAndTheSuffix) {
  EXPECT_EQ(AbsoluteTimeString(DateTime(2004, 3, 9, 14, 5, 7), "04+"), "040309140507004+");
  EXPECT_EQ(AbsoluteTimeString(DateTime(1999, 12, 31, 23, 59, 59), "20-"), "991231235959020-");
  EXPECT_EQ(AbsoluteTimeString(DateTime(2024, 2, 29), "00-"), "240229000000000-");
}

TEST(TimeStringsTest, AbsoluteFormRefusesWhatIsNotACalendarTime) {
  for (const DateTime& bad :
       {DateTime(2023, 2, 29), DateTime(2004, 13, 1), DateTime(2004, 1, 0),
        DateTime(2004, 1, 1, 24), DateTime(2004, 1, 1, 0, 60), DateTime(2004, 1, 1, 0, 0, -1)}) {
    EXPECT_EQ(ErrorNumberOf([&] { AbsoluteTimeString(bad, "00-"); }), 5) << bad.ToString();
  }
}

TEST(TimeStringsTest, RelativeFormsPutEachFieldInItsPlace) {
  EXPECT_EQ(RelativeTimeString(5, 0, 0), "000000050000000R");
  EXPECT_EQ(RelativeTimeString(0, 0, 30), "000000000030000R");
  EXPECT_EQ(RelativeTimeString(48, 0, 0), "000000480000000R");
  EXPECT_EQ(RelativePeriodString(120), "000000000200000R");         // 2 minutes
  EXPECT_EQ(RelativePeriodString(120 * 3600), "000005000000000R");  // 5 days
  EXPECT_EQ(RelativePeriodString(32767), "000000090607000R");       // 9:06:07
  EXPECT_EQ(RelativePeriodString(100LL * 86400 - 1), "000099235959000R");
  EXPECT_EQ(ErrorNumberOf([] { RelativePeriodString(100LL * 86400); }), 6);
}

}  // namespace
}  // namespace korvane
