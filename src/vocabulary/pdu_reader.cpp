#include "vocabulary/pdu_reader.hpp"

#include <algorithm>
#include <limits>

#include "korvane/errors.hpp"
#include "vocabulary/octets.hpp"

namespace korvane::vocabulary {

void PduReader::Require(std::size_t count) const {
  if (count > Remaining()) throw ComponentError(9, "Subscript out of range");
}

void PduReader::Seek(std::size_t position) {
  if (position > pdu_.size()) throw ComponentError(9, "Subscript out of range");
  position_ = position;
}

void PduReader::Skip(std::size_t count) {
  Require(count);
  position_ += count;
}

uint8_t PduReader::ReadOctet() { return ReadOctets(1)[0]; }

uint16_t PduReader::ReadShort() { return BigEndian16(ReadOctets(2).first<2>()); }

uint32_t PduReader::ReadLong() { return BigEndian32(ReadOctets(4).first<4>()); }

std::string PduReader::ReadCString() {
  const std::size_t start = position_;
  SkipCString();
  return std::string(pdu_.begin() + start, pdu_.begin() + position_ - 1);
}

void PduReader::SkipCString() {
  const auto rest = pdu_.subspan(position_);
  const auto nul = std::ranges::find(rest, uint8_t{0});
  if (nul == rest.end()) throw ComponentError(9, "Subscript out of range");
  position_ += static_cast<std::size_t>(nul - rest.begin()) + 1;
}

std::string PduReader::ReadText(std::size_t count) {
  const auto octets = ReadOctets(count);
  return std::string(octets.begin(), octets.end());
}

std::span<const uint8_t> PduReader::ReadOctets(std::size_t count) {
  Require(count);
  const auto octets = pdu_.subspan(position_, count);
  position_ += count;
  return octets;
}

PduHeader ReadHeader(std::span<const uint8_t> pdu) {
  PduReader reader(pdu);
  PduHeader header;
  header.command_length = reader.ReadLong();
  header.command_id = reader.ReadLong();
  header.command_status = reader.ReadLong();
  header.sequence_number = reader.ReadLong();
  return header;
}

int32_t SequenceNumberOf(const PduHeader& header) {
  if (header.sequence_number > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    throw ComponentError(6, "Overflow");
  }
  return static_cast<int32_t>(header.sequence_number);
}

}  // namespace korvane::vocabulary
