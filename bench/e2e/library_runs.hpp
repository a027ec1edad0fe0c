// The library under measurement, the way a host uses it: one SMPP object on
// the thread's own event loop, bound as transceiver to the sink.
#pragma once

#include <cstddef>
#include <cstdint>

#include "e2e/measure.hpp"

namespace korvane::bench {

// SendMessage without waiting, `count` times in a row, then events pumped
// until the last MessageDelivered.
Sample LibrarySubmitNoWait(uint16_t port, std::size_t count);

// SendMessage(message, true), one message at a time.
Sample LibrarySubmitWaited(uint16_t port, std::size_t count);

// EnquireLink starts the sink's deliver_sm stream; events are pumped until
// the `count`-th MessageReceived.
Sample LibraryReception(uint16_t port, std::size_t count);

// One SendMessage(message, true) to a sink that does not answer, with
// OperationsTimeout `seconds`: the processor time the wait costs.
Sample LibraryTimeoutWait(uint16_t port, int16_t seconds);

}  // namespace korvane::bench
