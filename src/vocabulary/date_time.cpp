#include "korvane/date_time.hpp"

#include <cstdio>
#include <limits>

#include "korvane/errors.hpp"

namespace korvane {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = yoe + era * 400 + (month <= 2);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

std::string DateTime::ToString() const {
  char text[80];  // Room for six fields of any int value.
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

DateTime DateTime::AddSeconds(int64_t seconds) const {
  const int64_t start = DaysFromCivil(year, month, day) * 86400 + int64_t{hour} * 3600 +
                        int64_t{minute} * 60 + second;
  int64_t total = 0;
  if (__builtin_add_overflow(start, seconds, &total)) throw ComponentError(6, "Overflow");
  const int64_t days = FloorDiv(total, 86400);
  const int64_t rest = total - days * 86400;
  DateTime result;
  int64_t result_year = 0;
  CivilFromDays(days, result_year, result.month, result.day);
  if (result_year < std::numeric_limits<int>::min() ||
      result_year > std::numeric_limits<int>::max()) {
    throw ComponentError(6, "Overflow");
  }
  result.year = static_cast<int>(result_year);
  result.hour = static_cast<int>(rest / 3600);
  result.minute = static_cast<int>(rest / 60 % 60);
  result.second = static_cast<int>(rest % 60);
  return result;
}

}  // namespace korvane
