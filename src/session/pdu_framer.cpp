#include "session/pdu_framer.hpp"

#include "vocabulary/octets.hpp"

namespace korvane::session {

PduFramer::Result PduFramer::Feed(std::span<const uint8_t> octets) {
  Result result;
  // Cut straight from the arrival when nothing is pending; otherwise join
  // first so that a PDU split across arrivals is completed.
  std::span<const uint8_t> stream = octets;
  std::vector<uint8_t> joined;
  if (!pending_.empty()) {
    joined = std::move(pending_);
    pending_.clear();
    joined.insert(joined.end(), octets.begin(), octets.end());
    stream = joined;
  }
  std::size_t position = 0;
  while (stream.size() - position >= 4) {
    const uint32_t length = vocabulary::BigEndian32(stream.subspan(position).first<4>());
    if (length < kMinCommandLength || length > kMaxCommandLength) {
      result.invalid_length = length;
      return result;
    }
    if (stream.size() - position < length) break;
    const auto pdu = stream.subspan(position, length);
    result.pdus.emplace_back(pdu.begin(), pdu.end());
    position += length;
  }
  pending_.assign(stream.begin() + static_cast<std::ptrdiff_t>(position), stream.end());
  return result;
}

void PduFramer::Clear() {
  pending_.clear();
  pending_.shrink_to_fit();
}

}  // namespace korvane::session
