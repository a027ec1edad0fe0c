#include "decoders/final_date.hpp"

#include <cstdint>
#include <optional>

#include "korvane/errors.hpp"

namespace korvane::decoders {
namespace {

// The two-digit number at `position`, or nothing when the text is too short
// there or either character is not a digit.
std::optional<int> TwoDigits(std::string_view text, std::size_t position) {
  if (text.size() < position + 2) return std::nullopt;
  const char high = text[position];
  const char low = text[position + 1];
  if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
  return (high - '0') * 10 + (low - '0');
}

}  // namespace

DateTime FinalDateOf(std::string_view text) {
  if (text.empty()) return {};
  const std::optional<int> year = TwoDigits(text, 0);
  const std::optional<int> month = TwoDigits(text, 2);
  const std::optional<int> day = TwoDigits(text, 4);
  if (!year || !month || !day) throw ComponentError(13, "Type mismatch");

  const std::optional<int> hours = TwoDigits(text, 6);
  const std::optional<int> minutes = TwoDigits(text, 8);
  const std::optional<int> seconds = TwoDigits(text, 10);
  if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59) return {};

  // Month 0 is December of the year before, month 13 January of the next;
  // the day then counts on from the first of that month, so day 0 is the
  // last day of the month before.
  const int full_year = *year < 30 ? 2000 + *year : 1900 + *year;
  const int months_from_january = *month - 1;
  const int year_shift = months_from_january < 0 ? -1 : months_from_january / 12;
  const int month_in_year = months_from_january - year_shift * 12 + 1;
  const int64_t offset =
      (int64_t{*day} - 1) * 86400 + int64_t{*hours} * 3600 + int64_t{*minutes} * 60 + *seconds;
  return DateTime(full_year + year_shift, month_in_year, 1).AddSeconds(offset);
}

}  // namespace korvane::decoders
