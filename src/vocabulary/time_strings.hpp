// SMPP time strings: the 16-character absolute form YYMMDDhhmmsstnnp (local
// time, tenths, and the local offset from UTC in quarter hours with its
// sign) and the relative form YYMMDDhhmmss000R, plus the three-character
// time-zone suffix "nnp" that ends the absolute form. Pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "korvane/date_time.hpp"

namespace korvane::vocabulary {

// The suffix for a zone whose bias is `bias_minutes` (UTC = local time +
// bias, so positive west of Greenwich): the bias in quarter hours, rounded
// half to even, as two digits or more, then "-" for a bias of 0 or more and
// "+" otherwise. -180 (three hours east) gives "12+", 300 gives "20-".
std::string TimeZoneSuffixOf(int32_t bias_minutes);

// A suffix a host may set: exactly three characters, two digits and then
// "+" or "-".
bool IsAcceptableTimeZoneSuffix(std::string_view suffix);

// True when every field of `time` lies in its calendar range (the year
// aside), so that each formats as two digits.
bool IsValidCalendarTime(const DateTime& time);

// YYMMDDhhmmss, "0" for the tenths, then `suffix`. Throws ComponentError 5
// when a field of `time` is out of its calendar range.
std::string AbsoluteTimeString(const DateTime& time, std::string_view suffix);

// "YYMMDD" all zero, then hh, mm, ss as two digits each, then "000R". Each
// value must lie in 0..99.
std::string RelativeTimeString(int hours, int minutes, int seconds);

// A relative period of `total_seconds`, carried into days, hours, minutes
// and seconds ("000001020304000R" is 1 day 2 h 3 min 4 s). Throws
// ComponentError 6 "Overflow" beyond 99 days 23:59:59, the most the days
// field can say.
std::string RelativePeriodString(int64_t total_seconds);

}  // namespace korvane::vocabulary
