// The command_status reports: a known row, the doubled prefix of the
// bind-state statuses, and the fallback for statuses without a row.
#include "inbound/status_table.hpp"

#include <gtest/gtest.h>

#include <string>

namespace korvane::inbound {
namespace {

// "number description" then " | debug text" when the debug text differs.
std::string Summary(uint32_t status, const char* operation) {
  const std::optional<StatusReport> report = DescribeStatus(status, operation);
  if (!report) return "none";
  std::string text = std::to_string(report->number) + " " + report->description;
  if (report->debug_text != report->description) text += " | " + report->debug_text;
  return text;
}

TEST(StatusTableTest, Reports) {
  const std::pair<uint32_t, const char*> rows[] = {
      {0, "none"},
      {2, "27002 Protocol Error : Q ESME raised command with Invalid Command Length "},
      {5,
       "27005 Protocol Error : Q Already Bound!! | Protocol Error : Q Protocol Error : Q Already "
       "Bound!!"},
      {98, "27098 Protocol Error : Q Invalid Expiry Details "},
      // Gaps, values past the last row (255 also shows the last in decimal), and above the octet
      // range (shown in hex, whatever the low octet: 0x0E has a row) fall back.
      {16, "28000 Protocol Error : Q Unhandled Error - Status:16- Command:Q"},
      {255, "28000 Protocol Error : Q Unhandled Error - Status:255- Command:Q"},
      {0x10E, "28000 Protocol Error : Q Unhandled Error - Status:0x0000010E- Command:Q"},
  };
  for (const auto& [status, expected] : rows) EXPECT_EQ(Summary(status, "Q"), expected);
}

}  // namespace
}  // namespace korvane::inbound
