#include "session/time_zone.hpp"

#include <optional>

#include "vocabulary/time_strings.hpp"

namespace korvane::session {
namespace {

std::optional<std::string>& ThreadSuffix() {
  thread_local std::optional<std::string> suffix;
  return suffix;
}

}  // namespace

void InitTimeZoneSuffix(platform::Environment& environment) {
  std::optional<std::string>& suffix = ThreadSuffix();
  if (!suffix) suffix = vocabulary::TimeZoneSuffixOf(environment.LocalTimeZoneBiasMinutes());
}

const std::string& TimeZoneSuffix() {
  std::optional<std::string>& suffix = ThreadSuffix();
  if (!suffix) suffix = vocabulary::TimeZoneSuffixOf(0);
  return *suffix;
}

void SetTimeZoneSuffix(std::string_view suffix) {
  if (vocabulary::IsAcceptableTimeZoneSuffix(suffix)) ThreadSuffix() = std::string(suffix);
}

}  // namespace korvane::session
