#include "platform/system_clock.hpp"

#include <chrono>
#include <ctime>

namespace korvane::platform {
namespace {

struct LocalReading {
  std::tm fields{};
  double fraction = 0;  // seconds below the whole second
};

LocalReading ReadLocal() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t whole = std::chrono::system_clock::to_time_t(now);
  LocalReading reading;
  localtime_r(&whole, &reading.fields);
  const auto below = now - std::chrono::system_clock::from_time_t(whole);
  reading.fraction = std::chrono::duration<double>(below).count();
  if (reading.fraction < 0) reading.fraction = 0;
  return reading;
}

}  // namespace

DateTime SystemLocalNow() {
  const std::tm t = ReadLocal().fields;
  return DateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                  t.tm_sec > 59 ? 59 : t.tm_sec);
}

double SystemSecondsSinceMidnight() {
  const LocalReading r = ReadLocal();
  return r.fields.tm_hour * 3600.0 + r.fields.tm_min * 60.0 + r.fields.tm_sec + r.fraction;
}

int32_t SystemTimeZoneBiasMinutes() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // tm_gmtoff is seconds east of UTC; the bias counts the other way.
  return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

}  // namespace korvane::platform
