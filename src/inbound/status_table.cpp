#include "inbound/status_table.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "korvane/error_codes.hpp"

namespace korvane::inbound {
namespace {

struct StatusText {
  int32_t status;
  std::string_view text;
};

// Sorted by status so that a binary search finds a row. The texts are shown
// to the host verbatim, trailing blanks included.
constexpr auto kStatusTexts = std::to_array<StatusText>({
    {1, "ESME raised command with Invalid Message Length "},
    {2, "ESME raised command with Invalid Command Length "},
    {3, "App. had raised an Invalid Command ID "},
    {4, "Bind Status Error "},
    {5, "Already Bound!!"},
    {8, "System Error "},
    {10, "Incompatible set of Source Address Parameters "},
    {11, "Incompatible set of Destination Address Parameters "},
    {12, "Invalid Message ID "},
    {13, "Bind Fail "},
    {14, "Invalid Password "},
    {15, "Invalid User Name "},
    {17, "Cancel SM Failed"},
    {20, "Message Queue Full "},
    {21, "Invalid Service Type "},
    {51, "Invalid number of destinations"},
    {52, "Invalid Distribution List name"},
    {64, "Destination flag is invalid (submit_multi)"},
    {66, "Invalid [submit with replace] request (i.e. submit_sm with replace_if_present_flag set)"},
    {67, "Invalid App. Class "},
    {69, "Submit Failed "},
    {72, "Invalid Source Address TON "},
    {73, "Invalid Source Address NPI "},
    {80, "Invalid Destination Address TON "},
    {81, "Invalid Destination Address NPI "},
    {83, "Invalid System Type "},
    {88, "Throttling error (ESME has exceeded allowed message limits)"},
    {97, "Invalid Scheduled Time of Delivery "},
    {98, "Invalid Expiry Details "},
});

static_assert(std::ranges::is_sorted(kStatusTexts, {}, &StatusText::status));

constexpr int32_t kKnownStatusBase = static_cast<int32_t>(ErrorCode::StatusBase);
constexpr int32_t kUnknownStatusNumber = static_cast<int32_t>(ErrorCode::UnknownStatus);

const StatusText* FindRow(uint32_t whole_status) {
  if (whole_status > 0xFF) return nullptr;
  const auto status = static_cast<int32_t>(whole_status);
  const auto row = std::ranges::lower_bound(kStatusTexts, status, {}, &StatusText::status);
  if (row == kStatusTexts.end() || row->status != status) return nullptr;
  return &*row;
}

std::string StatusNumberText(uint32_t status) {
  if (status <= 0xFF) return std::to_string(status);
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

}  // namespace

std::optional<StatusReport> DescribeStatus(uint32_t status, std::string_view operation) {
  if (status == 0) return std::nullopt;
  const std::string prefix = "Protocol Error : " + std::string(operation) + " ";
  StatusReport report;
  if (const StatusText* row = FindRow(status)) {
    report.number = kKnownStatusBase + row->status;
    report.description = prefix + std::string(row->text);
    // The bind-state statuses carry the prefix twice in the debug log.
    report.debug_text =
        (status == 4 || status == 5) ? prefix + report.description : report.description;
  } else {
    report.number = kUnknownStatusNumber;
    report.description = prefix + "Unhandled Error - Status:" + StatusNumberText(status) +
                         "- Command:" + std::string(operation);
    report.debug_text = report.description;
  }
  return report;
}

}  // namespace korvane::inbound
