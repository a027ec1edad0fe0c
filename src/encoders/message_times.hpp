// The two time fields of an outgoing message, as the SMPP time strings they
// are sent as: schedule_delivery_time and validity_period.
#pragma once

#include <string>
#include <string_view>

#include "korvane/date_time.hpp"
#include "korvane/message_object.hpp"

namespace korvane::encoders {

// The absolute time string of ScheduledDeliveryTime, or the empty text when
// it is the zero date. Throws ComponentError 5 for a date that is not a
// calendar date and time.
std::string ScheduleDeliveryTime(const MessageObject& message, std::string_view suffix);

// validity_period, first rule that applies:
//   ValidityPeriodString not empty  - its first 17 characters, as given;
//   ValiditySeconds 1 or more        - that many seconds;
//   ValidityHours 1 or more          - that many hours;
//   otherwise                        - the empty text.
// A period is relative ("...R") when ValidityRelative is set, else the
// absolute time `now` plus the period. Counts of 1 to 99 go into the
// seconds or hours field as they are (48 hours is 000000480000000R); larger
// counts carry into the larger fields (120 hours is 5 days). Throws
// ComponentError 6 for a relative period beyond 99 days 23:59:59.
std::string ValidityPeriod(const MessageObject& message, const DateTime& now,
                           std::string_view suffix);

// validity_period of a deliver_sm: the absolute time `now` plus
// ValidityHours when that is 1 or more, else the empty text. The other
// validity fields are not used.
std::string AbsoluteValidityInHours(const MessageObject& message, const DateTime& now,
                                    std::string_view suffix);

}  // namespace korvane::encoders
