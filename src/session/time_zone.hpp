// The time-zone suffix that ends every absolute time string the component
// sends. There is one per thread, shared by every session on it: the first
// session created on a thread computes it from the platform's local zone,
// and TimeZoneBias replaces it for all sessions of the thread.
#pragma once

#include <string>
#include <string_view>

#include "korvane/platform.hpp"

namespace korvane::session {

// Computes the suffix from `environment` unless this thread already has one.
void InitTimeZoneSuffix(platform::Environment& environment);

// This thread's suffix ("00-" before any session computed it).
const std::string& TimeZoneSuffix();

// Takes `suffix` when it is acceptable (two digits and a sign); otherwise
// the suffix stays as it was. Never fails.
void SetTimeZoneSuffix(std::string_view suffix);

}  // namespace korvane::session
