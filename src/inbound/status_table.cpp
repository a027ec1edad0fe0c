#include "inbound/status_table.hpp"

namespace korvane::inbound {

std::optional<StatusReport> DescribeStatus(int32_t status, std::string_view operation) {
  if (status == 0) return std::nullopt;
  return StatusReport{28000, std::string(operation), std::string(operation)};
}

}  // namespace korvane::inbound
