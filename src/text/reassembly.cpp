// Received parts put back together, in bounded memory.
#include <algorithm>

#include "text/alphabets.hpp"

namespace korvane::text {
namespace {

constexpr int32_t kTagSarMsgRefNum = 0x020C;
constexpr int32_t kTagSarTotalSegments = 0x020E;
constexpr int32_t kTagSarSegmentSeqnum = 0x020F;

std::optional<PartOf> Checked(uint16_t reference, int total, int number) {
  if (total < 1 || number < 1 || number > total) return std::nullopt;
  return PartOf{reference, total, number};
}

// The concatenation element of a user data header, every read bounds-checked.
std::optional<PartOf> FromUserDataHeader(std::span<const uint8_t> body) {
  if (body.empty()) return std::nullopt;
  const std::size_t end = std::min(std::size_t{body[0]} + 1, body.size());
  std::size_t at = 1;
  while (at + 2 <= end) {
    const uint8_t element = body[at];
    const std::size_t length = body[at + 1];
    const std::size_t data = at + 2;
    if (data + length > end) break;
    if (element == 0x00 && length == 3) return Checked(body[data], body[data + 1], body[data + 2]);
    if (element == 0x08 && length == 4)
      return Checked(static_cast<uint16_t>(body[data] << 8 | body[data + 1]), body[data + 2],
                     body[data + 3]);
    at = data + length;
  }
  return std::nullopt;
}

std::optional<unsigned> ParameterValue(const MessageObject& message, int32_t tag,
                                       std::size_t length) {
  const Variant value = message.GetOptionalParamBytesValue(tag);
  if (!value.IsBytes() || value.Bytes().size() != length) return std::nullopt;
  unsigned number = 0;
  for (const uint8_t octet : value.Bytes()) number = number << 8 | octet;
  return number;
}

}  // namespace

std::optional<PartOf> ConcatenationOf(const MessageObject& message) {
  if ((static_cast<int32_t>(message.MessageType) & 0x40) != 0) {
    if (auto part = FromUserDataHeader(BodyOf(message))) return part;
  }
  const auto reference = ParameterValue(message, kTagSarMsgRefNum, 2);
  const auto total = ParameterValue(message, kTagSarTotalSegments, 1);
  const auto number = ParameterValue(message, kTagSarSegmentSeqnum, 1);
  if (!reference || !total || !number) return std::nullopt;
  return Checked(static_cast<uint16_t>(*reference), static_cast<int>(*total),
                 static_cast<int>(*number));
}

AssembledMessage Reassembler::Assemble(Set& set) {
  AssembledMessage assembled;
  assembled.total = static_cast<int>(set.parts.size());
  assembled.complete = set.received == assembled.total;
  std::vector<uint8_t> body;
  int data_coding = 0;
  for (std::size_t i = 0; i < set.parts.size(); ++i) {
    if (!set.parts[i]) continue;
    MessageObject& part = *set.parts[i];
    const std::vector<uint8_t> octets = BodyOf(part);
    std::span<const uint8_t> text = octets;
    if ((static_cast<int32_t>(part.MessageType) & 0x40) != 0 && !text.empty())
      text = text.subspan(std::min(std::size_t{text[0]} + 1, text.size()));
    if (assembled.parts.empty()) data_coding = static_cast<int>(part.DataCoding);
    body.insert(body.end(), text.begin(), text.end());
    assembled.numbers.push_back(static_cast<int>(i) + 1);
    assembled.parts.push_back(std::move(part));
  }
  assembled.text = DecodeToUtf8(body, data_coding);
  return assembled;
}

std::vector<AssembledMessage> Reassembler::Expire(TimePoint now) {
  std::vector<AssembledMessage> expired;
  for (auto it = sets_.begin(); it != sets_.end();) {
    if (now - it->second.started >= limits_.max_age) {
      expired.push_back(Assemble(it->second));
      it = sets_.erase(it);
    } else {
      ++it;
    }
  }
  return expired;
}

std::vector<AssembledMessage> Reassembler::TakeAll() {
  std::vector<AssembledMessage> all;
  for (auto& [key, set] : sets_) all.push_back(Assemble(set));
  sets_.clear();
  return all;
}

std::vector<AssembledMessage> Reassembler::Add(const MessageObject& message, TimePoint now) {
  std::vector<AssembledMessage> out = Expire(now);
  const std::optional<PartOf> part = ConcatenationOf(message);
  if (!part || part->total == 1) {
    Set single{now, {message}, 1};
    out.push_back(Assemble(single));
    return out;
  }
  Key key{message.SourceAddress, message.DestAddress, part->reference, part->total};
  auto it = sets_.find(key);
  if (it == sets_.end()) {
    if (limits_.max_sets == 0) {
      Set alone{now, std::vector<std::optional<MessageObject>>(std::size_t(part->total)), 0};
      alone.parts[std::size_t(part->number - 1)] = message;
      alone.received = 1;
      out.push_back(Assemble(alone));
      return out;
    }
    if (sets_.size() >= limits_.max_sets) {
      // Room for the new set: the oldest one goes back as incomplete.
      auto oldest = std::min_element(sets_.begin(), sets_.end(), [](const auto& a, const auto& b) {
        return a.second.started < b.second.started;
      });
      out.push_back(Assemble(oldest->second));
      sets_.erase(oldest);
    }
    it = sets_
             .emplace(key, Set{now,
                               std::vector<std::optional<MessageObject>>(
                                   static_cast<std::size_t>(part->total)),
                               0})
             .first;
  }
  Set& set = it->second;
  std::optional<MessageObject>& slot = set.parts[static_cast<std::size_t>(part->number - 1)];
  if (slot) return out;  // a duplicate: the first copy stays
  slot = message;
  if (++set.received == part->total) {
    out.push_back(Assemble(set));
    sets_.erase(it);
  }
  return out;
}

}  // namespace korvane::text
