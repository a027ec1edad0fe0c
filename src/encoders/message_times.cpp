#include "encoders/message_times.hpp"

#include <cstdint>

#include "vocabulary/time_strings.hpp"

namespace korvane::encoders {
namespace {

constexpr std::size_t kValidityPeriodStringLength = 17;
constexpr int kLargestTwoDigitCount = 99;

std::string ValidityOf(int32_t count, int64_t unit_seconds, bool relative, const DateTime& now,
                       std::string_view suffix) {
  const int64_t seconds = count * unit_seconds;
  if (!relative) return vocabulary::AbsoluteTimeString(now.AddSeconds(seconds), suffix);
  if (count > kLargestTwoDigitCount) return vocabulary::RelativePeriodString(seconds);
  return unit_seconds == 1 ? vocabulary::RelativeTimeString(0, 0, count)
                           : vocabulary::RelativeTimeString(count, 0, 0);
}

}  // namespace

std::string ScheduleDeliveryTime(const MessageObject& message, std::string_view suffix) {
  if (message.ScheduledDeliveryTime.IsZero()) return {};
  return vocabulary::AbsoluteTimeString(message.ScheduledDeliveryTime, suffix);
}

std::string ValidityPeriod(const MessageObject& message, const DateTime& now,
                           std::string_view suffix) {
  const std::string given = message.ValidityPeriodString();
  if (!given.empty()) return given.substr(0, kValidityPeriodStringLength);
  if (message.ValiditySeconds >= 1)
    return ValidityOf(message.ValiditySeconds, 1, message.ValidityRelative, now, suffix);
  if (message.ValidityHours >= 1)
    return ValidityOf(message.ValidityHours, 3600, message.ValidityRelative, now, suffix);
  return {};
}

std::string AbsoluteValidityInHours(const MessageObject& message, const DateTime& now,
                                    std::string_view suffix) {
  if (message.ValidityHours < 1) return {};
  return vocabulary::AbsoluteTimeString(now.AddSeconds(message.ValidityHours * int64_t{3600}),
                                        suffix);
}

}  // namespace korvane::encoders
