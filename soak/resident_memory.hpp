// The process's resident memory, read from /proc/self/statm.
#pragma once

#include <cstdint>

namespace korvane::soak {

// Resident set size in KiB; 0 where /proc is not available.
uint64_t ResidentKiB();

}  // namespace korvane::soak
