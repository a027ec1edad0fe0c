#include "vocabulary/pdu_writer.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "korvane/errors.hpp"
#include "vocabulary/octets.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::vocabulary {
namespace {

void CopyText(std::string_view text, std::span<uint8_t> target) {
  std::transform(text.begin(), text.end(), target.begin(),
                 [](char c) { return static_cast<uint8_t>(c); });
}

}  // namespace

PduWriter::PduWriter(std::vector<uint8_t> buffer, bool computed)
    : buffer_(std::move(buffer)), computed_(computed) {}

PduWriter PduWriter::Computed(uint32_t command_length, uint32_t command_id,
                              uint32_t sequence_number, uint32_t command_status) {
  if (command_length < kHeaderLength) {
    throw ComponentError(5, "Invalid procedure call or argument");
  }
  PduWriter writer(std::vector<uint8_t>(command_length), true);
  writer.PutLong(static_cast<int32_t>(command_length));
  writer.WriteHeader(command_id, command_status, sequence_number);
  return writer;
}

PduWriter PduWriter::Appended(uint32_t command_id, int32_t sequence_number, std::size_t size_hint) {
  std::vector<uint8_t> buffer;
  buffer.reserve(std::max(size_hint, kHeaderLength));
  PduWriter writer(std::move(buffer), false);
  writer.PutLong(0);  // command_length, filled in by Finish.
  writer.WriteHeader(command_id, 0, static_cast<uint32_t>(sequence_number));
  return writer;
}

void PduWriter::WriteHeader(uint32_t command_id, uint32_t command_status,
                            uint32_t sequence_number) {
  PutLong(static_cast<int32_t>(command_id));
  PutLong(static_cast<int32_t>(command_status));
  PutLong(static_cast<int32_t>(sequence_number));
}

std::span<uint8_t> PduWriter::Claim(std::size_t count) {
  if (computed_) {
    if (count > buffer_.size() - position_) throw ComponentError(9, "Subscript out of range");
  } else {
    buffer_.resize(position_ + count);
  }
  const std::span<uint8_t> field(buffer_.data() + position_, count);
  position_ += count;
  return field;
}

void PduWriter::PutOctet(int64_t value) {
  // A claimed octet is 0x00 until written, so it stays 0x00 when ToOctet throws.
  const std::span<uint8_t> field = Claim(1);
  field[0] = ToOctet(value);
}

void PduWriter::PutShort(int32_t value) { PutOctets(ShortToOctets(value)); }

void PduWriter::PutLong(int32_t value) { PutOctets(LongToOctets(value)); }

void PduWriter::PutCString(std::string_view text) {
  const std::span<uint8_t> field = Claim(text.size() + 1);
  CopyText(text, field);
  field.back() = 0;
}

void PduWriter::PutText(std::string_view text) { CopyText(text, Claim(text.size())); }

void PduWriter::PutOctets(std::span<const uint8_t> octets) {
  std::ranges::copy(octets, Claim(octets.size()).begin());
}

std::span<uint8_t> PduWriter::ClaimTlv(int32_t tag, std::size_t value_length) {
  if (tag < 0 || tag > 0xFFFF || value_length > kMaxTlvValueLength) {
    throw ComponentError(6, "Overflow");
  }
  const std::span<uint8_t> field = Claim(kTlvHeaderLength + value_length);
  std::ranges::copy(ShortToOctets(tag), field.begin());
  std::ranges::copy(ShortToOctets(static_cast<int32_t>(value_length)), field.begin() + 2);
  return field.subspan(kTlvHeaderLength);
}

void PduWriter::PutTlv(int32_t tag, std::span<const uint8_t> value) {
  std::ranges::copy(value, ClaimTlv(tag, value.size()).begin());
}

void PduWriter::PutTlv(int32_t tag, std::string_view value) {
  CopyText(value, ClaimTlv(tag, value.size()));
}

std::vector<uint8_t> PduWriter::Finish() && {
  if (computed_) {
    if (position_ != buffer_.size()) {
      throw ComponentError(5, "Invalid procedure call or argument");
    }
  } else {
    if (buffer_.size() > std::numeric_limits<uint32_t>::max()) {
      throw ComponentError(6, "Overflow");
    }
    std::ranges::copy(LongToOctets(static_cast<int32_t>(buffer_.size())), buffer_.begin());
  }
  return std::move(buffer_);
}

}  // namespace korvane::vocabulary
