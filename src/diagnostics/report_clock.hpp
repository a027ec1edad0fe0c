// The clock of the error reports made outside a session's own reporter (the
// message object's and the helper module's): the environment of the latest
// session created on this thread that is still alive, so that reports made
// on a fake environment carry its time; with no session on the thread, the
// system's local time.
#pragma once

#include "korvane/date_time.hpp"
#include "korvane/platform.hpp"

namespace korvane::diagnostics {

// A session's environment, from its creation to its destruction. Each
// registration must be dropped on the thread that made it.
void UseReportClock(platform::Environment& environment);
void DropReportClock(platform::Environment& environment);

// The local date and time for a report made now on this thread.
DateTime ReportNow();

}  // namespace korvane::diagnostics
