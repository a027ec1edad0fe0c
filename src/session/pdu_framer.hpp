// PduFramer: cuts the received byte stream into whole PDUs by their
// command_length, keeping the octets of an incomplete PDU until the next
// arrival. A command_length outside kMinCommandLength..kMaxCommandLength
// cannot start a valid PDU: the framer stops there and reports it, since the
// stream can no longer be cut reliably. Pure: no I/O, no events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvane::session {

// The header alone.
inline constexpr uint32_t kMinCommandLength = 16;
// Room for a 64 KiB message_payload together with every other field and a
// few more optional parameters of that size; anything longer is taken for a
// broken stream rather than buffered without bound.
inline constexpr uint32_t kMaxCommandLength = 256 * 1024;

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
  // Drops the octets of an incomplete PDU (when a connection ends).
  void Clear();
  std::size_t PendingSize() const { return pending_.size(); }

 private:
  std::vector<uint8_t> pending_;
};

}  // namespace korvane::session
