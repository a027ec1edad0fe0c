#include "soak/resident_memory.hpp"

#include <unistd.h>

#include <fstream>

namespace korvane::soak {

uint64_t ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  uint64_t total_pages = 0;
  uint64_t resident_pages = 0;
  if (!(statm >> total_pages >> resident_pages)) return 0;
  const long page_size = ::sysconf(_SC_PAGESIZE);
  return resident_pages * static_cast<uint64_t>(page_size > 0 ? page_size : 4096) / 1024;
}

}  // namespace korvane::soak
