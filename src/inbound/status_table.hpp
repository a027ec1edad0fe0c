// The command_status table: the texts and event numbers of the statuses an
// SMSC answers with. Pure: no session, no events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::inbound {

// What the session reports for a non-zero status.
struct StatusReport {
  int32_t number = 0;       // 27000 + status for a known status, 28000 otherwise
  std::string description;  // the Error event's description
  std::string debug_text;   // the DebugLog text
};

// The report for the low octet of a command_status (0..255) received in
// answer to `operation` ("Submit SM", "Bind Transmitter", ...); nothing for
// status 0, which is success.
std::optional<StatusReport> DescribeStatus(int32_t status, std::string_view operation);

}  // namespace korvane::inbound
