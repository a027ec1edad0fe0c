#include "session/pdu_framer.hpp"

#include <algorithm>
#include <utility>

#include "vocabulary/octets.hpp"

namespace korvane::session {
namespace {

constexpr std::size_t kLengthOctets = 4;

bool Admitted(uint32_t length) {
  return length >= kMinCommandLength && length <= kMaxCommandLength;
}

uint32_t LengthAt(std::span<const uint8_t> octets) {
  return vocabulary::BigEndian32(octets.first<kLengthOctets>());
}

// Appends the first `count` octets of `octets` to `target` and drops them
// from `octets`.
void Take(std::vector<uint8_t>& target, std::span<const uint8_t>& octets, std::size_t count) {
  count = std::min(count, octets.size());
  target.insert(target.end(), octets.begin(), octets.begin() + static_cast<std::ptrdiff_t>(count));
  octets = octets.subspan(count);
}

}  // namespace

bool PduFramer::CompletePending(std::span<const uint8_t>& octets, Result& result) {
  if (pending_.size() < kLengthOctets) {
    Take(pending_, octets, kLengthOctets - pending_.size());
    if (pending_.size() < kLengthOctets) return true;
  }
  const uint32_t length = LengthAt(pending_);
  if (!Admitted(length)) {
    result.invalid_length = length;
    Clear();
    return false;
  }
  pending_.reserve(length);
  Take(pending_, octets, length - pending_.size());
  if (pending_.size() == length) result.pdus.push_back(std::exchange(pending_, {}));
  return true;
}

PduFramer::Result PduFramer::Feed(std::span<const uint8_t> octets) {
  Result result;
  if (!pending_.empty() && !CompletePending(octets, result)) return result;
  if (!pending_.empty()) return result;  // the arrival ended inside the pending PDU
  std::size_t position = 0;
  while (octets.size() - position >= kLengthOctets) {
    const uint32_t length = LengthAt(octets.subspan(position));
    if (!Admitted(length)) {
      result.invalid_length = length;
      return result;
    }
    if (octets.size() - position < length) break;
    const auto pdu = octets.subspan(position, length);
    result.pdus.emplace_back(pdu.begin(), pdu.end());
    position += length;
  }
  // The start of the next PDU waits for the rest; its length, once known,
  // sizes the buffer.
  std::span<const uint8_t> rest = octets.subspan(position);
  if (rest.size() >= kLengthOctets) pending_.reserve(LengthAt(rest));
  Take(pending_, rest, rest.size());
  return result;
}

PduFramer::Result PduFramer::Feed(std::vector<uint8_t>&& arrival) {
  if (pending_.empty() && arrival.size() >= kLengthOctets && Admitted(LengthAt(arrival)) &&
      LengthAt(arrival) == arrival.size()) {
    Result result;
    result.pdus.push_back(std::move(arrival));
    return result;
  }
  return Feed(std::span<const uint8_t>(arrival));
}

void PduFramer::Clear() {
  pending_.clear();
  pending_.shrink_to_fit();
}

}  // namespace korvane::session
