// One pass of event processing on an Asio loop, shared by korvane::DoEvents,
// korvane::RunEvents and the Asio environment's Yield. Call it on the thread
// that runs the loop; it may run inside a handler that an outer pass (or the
// host's own run) is running, which is how every wait inside an event handler
// lets further events through.
#pragma once

#include <chrono>

namespace asio {
class io_context;
}

namespace korvane::platform {

// The longest a pass waits when nothing is ready.
inline constexpr std::chrono::milliseconds kYieldSlice{5};

// Runs every handler that is ready. When none was, waits at most `slice` for
// the next one and runs it together with whatever became ready with it. A
// stopped loop is restarted first; a loop without work still waits the slice
// instead of returning at once, so a caller looping on it never spins.
void PumpOnce(asio::io_context& loop, std::chrono::milliseconds slice);

// Runs one ready handler or, when none is, waits for the next one until
// `deadline` and runs it. For a wait that tests its condition after every
// event: it looks at the sockets only when it has nothing else to do.
void PumpOneUntil(asio::io_context& loop, std::chrono::steady_clock::time_point deadline);

}  // namespace korvane::platform
