// The final_date of a query_sm_resp as a calendar date and time.
#pragma once

#include <string_view>

#include "korvane/date_time.hpp"

namespace korvane::decoders {

// "YYMMDDhhmmss..." as a date: years 00-29 are 2000-2029, 30-99 are
// 1930-1999; a month or day out of range rolls over into the neighbouring
// month or year; characters after the seconds are ignored, so no time-zone
// offset is applied. An empty text, or a time of day that is missing or not
// valid, gives the zero date. A year, month or day that is missing or not two
// digits throws ComponentError 13 "Type mismatch".
DateTime FinalDateOf(std::string_view text);

}  // namespace korvane::decoders
