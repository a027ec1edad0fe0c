// PduWriter: assembles one PDU, header included, into an octet vector whose
// first four octets are command_length, big-endian. The writer writes every
// header field itself: nothing is patched after Finish().
//
// Two ways of building, matching the two kinds of encoder:
// - Computed: the caller knows command_length beforehand. The buffer is
//   allocated once, exactly command_length zero octets, and the body fields
//   are written in order after the header. A field that would not fit throws
//   ComponentError 9 "Subscript out of range" and writes nothing.
// - Appended: the buffer grows with each field; Finish() puts the final
//   length in front.
//
// Every field writer either writes its whole field or nothing, except
// PutOctet with a value outside 0..255, which deliberately leaves 0x00 and
// advances before throwing, so that a caller that reports the failure and
// carries on keeps every later field in its place. One writer per PDU;
// not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace korvane::vocabulary {

class PduWriter {
 public:
  // A PDU of exactly `command_length` octets with the header written and the
  // write position at the body. command_length must be at least the header
  // length (16); a smaller value throws ComponentError 5. The sequence_number
  // is written as its four octets (a negative value in two's complement), so
  // a response can echo the octets of its request's sequence_number.
  static PduWriter Computed(uint32_t command_length, uint32_t command_id, uint32_t sequence_number,
                            uint32_t command_status = 0);

  // A growing PDU with the header written (command_length still 0) and the
  // write position at the body. `size_hint` is the expected final length.
  static PduWriter Appended(uint32_t command_id, int32_t sequence_number,
                            std::size_t size_hint = 0);

  PduWriter(PduWriter&&) = default;
  PduWriter& operator=(PduWriter&&) = default;
  PduWriter(const PduWriter&) = delete;
  PduWriter& operator=(const PduWriter&) = delete;

  // One octet. Outside 0..255: writes 0x00, advances, then throws
  // ComponentError 6 "Overflow".
  void PutOctet(int64_t value);
  // The low 16 bits, big-endian.
  void PutShort(int32_t value);
  // Four octets, big-endian, two's complement.
  void PutLong(int32_t value);
  // The characters as octets, then one 0x00.
  void PutCString(std::string_view text);
  // The characters as octets, no terminator.
  void PutText(std::string_view text);
  void PutOctets(std::span<const uint8_t> octets);
  // An optional parameter: tag (2 octets), value length (2 octets), value.
  // A tag outside 0..65535 or a value longer than 65535 octets throws
  // ComponentError 6 "Overflow" before anything is written.
  void PutTlv(int32_t tag, std::span<const uint8_t> value);
  void PutTlv(int32_t tag, std::string_view value);

  // Octets written so far, header included.
  std::size_t Position() const { return position_; }

  // The finished PDU. Computed: throws ComponentError 5 "Invalid procedure
  // call or argument" unless the fields filled exactly command_length
  // octets. Appended: writes command_length; throws ComponentError 6
  // "Overflow" when the PDU is longer than a 32-bit length can say. The
  // writer is used up either way.
  std::vector<uint8_t> Finish() &&;

 private:
  PduWriter(std::vector<uint8_t> buffer, bool computed);

  // The next `count` octets, claimed for a field: in computed mode they must
  // lie within the buffer, in appended mode the buffer grows by them.
  std::span<uint8_t> Claim(std::size_t count);
  // Claims a whole optional parameter, writes its tag and length, and
  // returns the octets left for the value.
  std::span<uint8_t> ClaimTlv(int32_t tag, std::size_t value_length);
  void WriteHeader(uint32_t command_id, uint32_t command_status, uint32_t sequence_number);

  std::vector<uint8_t> buffer_;
  std::size_t position_ = 0;
  bool computed_;
};

}  // namespace korvane::vocabulary
