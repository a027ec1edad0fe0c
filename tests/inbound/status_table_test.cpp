// The command_status table: known rows, the doubled prefix of the bind-state
// statuses, and the fallback for statuses without a row.
#include "inbound/status_table.hpp"

#include <gtest/gtest.h>

#include <string>

namespace korvane::inbound {
namespace {

TEST(StatusTableTest, SuccessHasNoReport) { EXPECT_FALSE(DescribeStatus(0, "Submit SM")); }

TEST(StatusTableTest, ReportsOfRepresentativeStatuses) {
  struct Row {
    uint32_t status;
    const char* operation;
    int32_t number;
    std::string description;
    std::string debug_text;
  };
  const Row rows[] = {
      {1, "Submit SM", 27001,
       "Protocol Error : Submit SM ESME raised command with Invalid Message Length ", ""},
      {13, "Bind Transceiver", 27013, "Protocol Error : Bind Transceiver Bind Fail ", ""},
      {14, "Bind Transmitter", 27014, "Protocol Error : Bind Transmitter Invalid Password ", ""},
      {17, "Cancel SM", 27017, "Protocol Error : Cancel SM Cancel SM Failed", ""},
      {88, "Submit SM", 27088,
       "Protocol Error : Submit SM Throttling error (ESME has exceeded allowed message limits)",
       ""},
      {98, "Submit SM", 27098, "Protocol Error : Submit SM Invalid Expiry Details ", ""},
      {4, "Bind Receiver", 27004, "Protocol Error : Bind Receiver Bind Status Error ",
       "Protocol Error : Bind Receiver Protocol Error : Bind Receiver Bind Status Error "},
      {5, "Bind Receiver", 27005, "Protocol Error : Bind Receiver Already Bound!!",
       "Protocol Error : Bind Receiver Protocol Error : Bind Receiver Already Bound!!"},
      // Gaps in the table and values past the last row fall back.
      {6, "Cancel SM", 28000,
       "Protocol Error : Cancel SM Unhandled Error - Status:6- Command:Cancel SM", ""},
      {16, "Query SM", 28000,
       "Protocol Error : Query SM Unhandled Error - Status:16- Command:Query SM", ""},
      {99, "Submit SM", 28000,
       "Protocol Error : Submit SM Unhandled Error - Status:99- Command:Submit SM", ""},
      {255, "Submit SM", 28000,
       "Protocol Error : Submit SM Unhandled Error - Status:255- Command:Submit SM", ""},
      // Above the octet range: no row matches whatever the low octet, and the
      // whole value is shown in hex.
      {0x0000010E, "Submit SM", 28000,
       "Protocol Error : Submit SM Unhandled Error - Status:0x0000010E- Command:Submit SM", ""},
      {0x00000458, "Submit SM", 28000,
       "Protocol Error : Submit SM Unhandled Error - Status:0x00000458- Command:Submit SM", ""},
      {0x00000400, "Submit SM", 28000,
       "Protocol Error : Submit SM Unhandled Error - Status:0x00000400- Command:Submit SM", ""},
      {0xFFFFFF58, "Bind Transmitter", 28000,
       "Protocol Error : Bind Transmitter Unhandled Error - Status:0xFFFFFF58- Command:Bind "
       "Transmitter",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    const std::optional<StatusReport> report = DescribeStatus(row.status, row.operation);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->number, row.number);
    EXPECT_EQ(report->description, row.description);
    EXPECT_EQ(report->debug_text, row.debug_text.empty() ? row.description : row.debug_text);
  }
}

}  // namespace
}  // namespace korvane::inbound
