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

// The report for a whole command_status received in answer to `operation`
// ("Submit SM", "Bind Transmitter", ...); nothing for status 0, which is
// success. A status without a row is shown in decimal up to 255 and as
// eight hex digits ("0x00000400") above, so that it is never mistaken for
// the low-octet status it ends in.
std::optional<StatusReport> DescribeStatus(uint32_t status, std::string_view operation);

}  // namespace korvane::inbound
