// PduReader: a cursor over one received PDU (header included) that cannot
// run past its end. Every read checks its bounds first: a read that would go
// beyond the last octet throws ComponentError 9 "Subscript out of range",
// reads nothing and leaves the position where it was. A C-octet string with
// no NUL before the end of the PDU is such a read.
//
// Also the header decoder and the signed view of a sequence_number. The
// reader borrows the octets: they must outlive it and stay unchanged while
// it is used. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korvane::vocabulary {

class PduReader {
 public:
  // Positioned at octet 0.
  explicit PduReader(std::span<const uint8_t> pdu) : pdu_(pdu) {}

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return pdu_.size() - position_; }
  bool AtEnd() const { return position_ == pdu_.size(); }

  // Moves to `position` (the end itself included).
  void Seek(std::size_t position);
  void Skip(std::size_t count);

  uint8_t ReadOctet();
  uint16_t ReadShort();
  uint32_t ReadLong();
  // The octets up to the next NUL, one character each; steps past the NUL.
  std::string ReadCString();
  // Steps past a C-octet string without keeping it.
  void SkipCString();
  // `count` octets, one character each.
  std::string ReadText(std::size_t count);
  // `count` octets, viewed in place.
  std::span<const uint8_t> ReadOctets(std::size_t count);

 private:
  // Throws unless `count` more octets lie within the PDU.
  void Require(std::size_t count) const;

  std::span<const uint8_t> pdu_;
  std::size_t position_ = 0;
};

struct PduHeader {
  uint32_t command_length = 0;
  uint32_t command_id = 0;
  uint32_t command_status = 0;
  uint32_t sequence_number = 0;

  bool operator==(const PduHeader&) const = default;
};

// The header fields of `pdu` as they stand (command_length is not compared
// with the size of `pdu`). Throws ComponentError 9 when `pdu` has fewer than
// 16 octets.
PduHeader ReadHeader(std::span<const uint8_t> pdu);

// The sequence_number as the signed 32-bit value the session works with.
// A value of 2^31 or more does not fit: throws ComponentError 6 "Overflow".
int32_t SequenceNumberOf(const PduHeader& header);

}  // namespace korvane::vocabulary
