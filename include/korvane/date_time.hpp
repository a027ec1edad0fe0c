// DateTime: a local calendar date and time to the second, without a time
// zone. The default value is the zero date, 1899-12-30 00:00:00.
#pragma once

#include <cstdint>
#include <string>

#include "korvane/export.hpp"

namespace korvane {

class KORVANE_SMPP_API DateTime {
 public:
  DateTime() = default;
  DateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
      : year(year), month(month), day(day), hour(hour), minute(minute), second(second) {}

  bool IsZero() const { return *this == DateTime{}; }

  // "YYYY-MM-DD hh:mm:ss".
  std::string ToString() const;

  // A new value `seconds` later (or earlier when negative); days, months and
  // years roll over, leap years included. Throws ComponentError 6
  // "Overflow" when the result's year does not fit an int.
  DateTime AddSeconds(int64_t seconds) const;

  friend bool operator==(const DateTime&, const DateTime&) = default;

  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

}  // namespace korvane
