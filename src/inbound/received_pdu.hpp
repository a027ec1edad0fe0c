// One received PDU as the dispatcher and its branches see it: the octets and
// the three header octets that select and check the branch.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "diagnostics/error_trap.hpp"

namespace korvane::inbound {

struct ReceivedPdu {
  std::span<const uint8_t> octets;  // the whole PDU, header included (at least 16 octets)
  uint8_t command_low = 0;          // octet 7: selects the branch
  uint8_t command_high = 0;         // octet 4: 0x80 for responses, 0x00 for requests
  uint8_t status_low = 0;           // octet 11: the status CheckError examines

  // The procedure "Handle" the branch runs in, for steps that report a
  // failure and go on.
  diagnostics::TrappedProcedure* procedure = nullptr;
  // The label of the trace that ends the dispatch; each branch names its PDU.
  std::string_view trace_label = "Received unhandled PDU";
  // Set by a branch that has traced the PDU itself.
  bool traced = false;

  bool IsResponse() const { return command_high == 0x80; }
  bool IsRequest() const { return command_high == 0x00; }
  std::array<uint8_t, 4> SequenceOctets() const {
    return {octets[12], octets[13], octets[14], octets[15]};
  }
};

}  // namespace korvane::inbound
