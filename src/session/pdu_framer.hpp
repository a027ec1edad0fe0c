// PduFramer: cuts the received byte stream into whole PDUs by their
// command_length, keeping the octets of an incomplete PDU until the next
// arrival. A command_length outside kMinCommandLength..kMaxCommandLength
// cannot start a valid PDU: the framer stops there and reports it, since the
// stream can no longer be cut reliably. Pure: no I/O, no events.
//
// Each PDU is copied once, into a vector of its exact size: octets that
// complete a pending PDU are appended to it, the others are cut straight
// from the arrival. An arrival that is exactly one PDU is taken as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "vocabulary/protocol.hpp"

namespace korvane::session {

using vocabulary::kMaxCommandLength;
using vocabulary::kMinCommandLength;

class PduFramer {
 public:
  struct Result {
    std::vector<std::vector<uint8_t>> pdus;  // whole PDUs, in stream order
    // The command_length that broke the stream; the framer then holds
    // nothing, and everything after the last whole PDU is dropped.
    std::optional<uint32_t> invalid_length;
  };

  // Appends `octets` to what is pending and cuts every whole PDU.
  Result Feed(std::span<const uint8_t> octets);
  // The same; an arrival that holds exactly one whole PDU, with nothing
  // pending, becomes that PDU without a copy.
  Result Feed(std::vector<uint8_t>&& arrival);
  // Drops the octets of an incomplete PDU (when a connection ends).
  void Clear();
  std::size_t PendingSize() const { return pending_.size(); }

 private:
  // Moves the front of `octets` into the pending PDU until it is whole;
  // false when the stream broke on its length.
  bool CompletePending(std::span<const uint8_t>& octets, Result& result);

  std::vector<uint8_t> pending_;  // the start of one PDU, reserved to its length once known
};

}  // namespace korvane::session
