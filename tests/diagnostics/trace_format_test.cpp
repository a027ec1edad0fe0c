#include "diagnostics/trace_format.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace korvane::diagnostics {
namespace {

TEST(FormatTraceLineTest, WritesTwoUpperCaseDigitsAndABlankPerOctet) {
  const std::vector<uint8_t> pdu = {0x0A, 0xFF, 0x00, 0x7B};
  const std::string line = FormatTraceLine("Sent QUERY_SM", pdu);
  EXPECT_EQ(line, "Sent QUERY_SM:\t0A FF 00 7B ");
  EXPECT_EQ(line.size(), std::string("Sent QUERY_SM").size() + 2 + 3 * pdu.size());
  EXPECT_EQ(FormatTraceLine("Received unhandled PDU", {}), "Received unhandled PDU:\t");
}

}  // namespace
}  // namespace korvane::diagnostics
