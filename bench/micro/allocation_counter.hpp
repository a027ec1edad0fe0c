// Counts the heap allocations of this program, so that a benchmark can
// report how many one operation makes.
#pragma once

#include <cstdint>

namespace korvane::bench {

// Allocations made by this thread so far.
uint64_t AllocationCount();

}  // namespace korvane::bench
