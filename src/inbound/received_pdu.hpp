// One received PDU as the dispatcher and its branches see it: the octets and
// the header, read once, whose fields select and check the branch.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "diagnostics/error_trap.hpp"
#include "vocabulary/pdu_reader.hpp"

namespace korvane::inbound {

struct ReceivedPdu {
  std::span<const uint8_t> octets;  // the whole PDU, header included (at least 16 octets)
  vocabulary::PduHeader header;

  // The procedure "Handle" the branch runs in, for steps that report a
  // failure and go on.
  diagnostics::TrappedProcedure* procedure = nullptr;
  // The label of the trace that ends the dispatch; each branch names its PDU.
  std::string_view trace_label = "Received unhandled PDU";
  // Set by a branch that has traced the PDU itself.
  bool traced = false;

  // The low octet of command_id selects the branch.
  uint8_t CommandLow() const { return static_cast<uint8_t>(header.command_id); }
  // The high octet: 0x80 for responses, 0x00 for requests.
  bool IsResponse() const { return header.command_id >> 24 == 0x80; }
  bool IsRequest() const { return header.command_id >> 24 == 0x00; }
  // The whole command_status, which CheckError examines: any non-zero value
  // is a refusal.
  uint32_t Status() const { return header.command_status; }
};

}  // namespace korvane::inbound
