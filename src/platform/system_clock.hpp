// The operating system's local clock and time zone.
#pragma once

#include <cstdint>

#include "korvane/date_time.hpp"

namespace korvane::platform {

DateTime SystemLocalNow();
double SystemSecondsSinceMidnight();
// The local offset from UTC in minutes as UTC = local time + bias, following
// the zone's current period (daylight saving included when in effect).
int32_t SystemTimeZoneBiasMinutes();

}  // namespace korvane::platform
