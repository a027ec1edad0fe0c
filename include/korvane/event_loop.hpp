// The host's message loop. Sessions created with SMPP() run on the calling
// thread's own loop; these functions drive it.
#pragma once

#include <chrono>

#include "korvane/export.hpp"

namespace korvane {

// One pass of the thread's event processing: runs what is ready; when nothing
// is, waits for the next event for at most a few milliseconds. Re-entrant:
// it may run inside a handler that an outer DoEvents is running.
KORVANE_SMPP_API void DoEvents();

// Processes events for `duration`.
KORVANE_SMPP_API void RunEvents(std::chrono::milliseconds duration);

}  // namespace korvane
