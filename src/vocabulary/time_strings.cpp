#include "vocabulary/time_strings.hpp"

#include <cmath>
#include <cstdio>

#include "korvane/errors.hpp"

namespace korvane::vocabulary {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kLargestRelativePeriod = 100 * kSecondsPerDay - 1;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Six two-digit fields, then `tail`; every value lies in 0..99.
std::string SixFields(int a, int b, int c, int d, int e, int f, std::string_view tail) {
  char text[6 * 11 + 1];  // room for six of any int: g++ 12 cannot see the range
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", a, b, c, d, e, f);
  std::string result(text, 12);
  result += tail;
  return result;
}

}  // namespace

std::string TimeZoneSuffixOf(int32_t bias_minutes) {
  // Halves go to the even quarter, as the platform's rounding does.
  const auto quarters = static_cast<int64_t>(std::nearbyint(bias_minutes / 15.0));
  std::string text = std::to_string(quarters < 0 ? -quarters : quarters);
  if (text.size() < 2) text.insert(0, 1, '0');
  text += quarters >= 0 ? '-' : '+';
  return text;
}

bool IsAcceptableTimeZoneSuffix(std::string_view suffix) {
  // Two digits: a looser numeric text such as " 8" or "-8" would put a blank
  // or a sign into every time string.
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  return suffix.size() == 3 && is_digit(suffix[0]) && is_digit(suffix[1]) &&
         (suffix[2] == '+' || suffix[2] == '-');
}

bool IsValidCalendarTime(const DateTime& time) {
  return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 && time.hour <= 23 &&
         time.minute >= 0 && time.minute <= 59 && time.second >= 0 && time.second <= 59;
}

std::string AbsoluteTimeString(const DateTime& time, std::string_view suffix) {
  if (!IsValidCalendarTime(time)) {
    throw ComponentError(5, "Invalid procedure call or argument: " + time.ToString() +
                                " is not a calendar date and time");
  }
  const int year = (time.year % 100 + 100) % 100;
  std::string result =
      SixFields(year, time.month, time.day, time.hour, time.minute, time.second, "0");
  result += suffix;
  return result;
}

std::string RelativeTimeString(int hours, int minutes, int seconds) {
  return SixFields(0, 0, 0, hours, minutes, seconds, "000R");
}

std::string RelativePeriodString(int64_t total_seconds) {
  if (total_seconds < 0 || total_seconds > kLargestRelativePeriod) {
    throw ComponentError(6, "Overflow: a relative period of " + std::to_string(total_seconds) +
                                " seconds does not fit 99 days 23:59:59");
  }
  const auto days = static_cast<int>(total_seconds / kSecondsPerDay);
  const auto rest = static_cast<int>(total_seconds % kSecondsPerDay);
  return SixFields(0, 0, days, rest / 3600, rest / 60 % 60, rest % 60, "000R");
}

}  // namespace korvane::vocabulary
