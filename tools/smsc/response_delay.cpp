#include "smsc/response_delay.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

namespace korvane::smsc {
namespace {

constexpr int64_t kMaxMilliseconds = 3600000;

std::optional<int64_t> Milliseconds(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || value < 0 ||
      value > kMaxMilliseconds)
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<Latency> ParseLatency(std::string_view text) {
  const std::size_t comma = text.find(',');
  const auto mean = Milliseconds(text.substr(0, comma));
  if (!mean) return std::nullopt;
  Latency latency{std::chrono::milliseconds(*mean), {}};
  if (comma != std::string_view::npos) {
    const auto jitter = Milliseconds(text.substr(comma + 1));
    if (!jitter) return std::nullopt;
    latency.jitter = std::chrono::milliseconds(*jitter);
  }
  return latency;
}

DelayedResponses::Clock::duration DelayedResponses::Draw() {
  const auto jitter = std::chrono::duration_cast<Clock::duration>(latency_.jitter).count();
  auto delay = std::chrono::duration_cast<Clock::duration>(latency_.mean);
  if (jitter > 0)
    delay += Clock::duration(std::uniform_int_distribution<int64_t>(-jitter, jitter)(random_));
  return std::max(delay, Clock::duration::zero());
}

void DelayedResponses::Add(Clock::time_point due, Octets pdu, bool last) {
  if (last && !waiting_.empty()) due = std::max(due, std::prev(waiting_.end())->first);
  waiting_.emplace(due, std::move(pdu));
}

std::vector<Octets> DelayedResponses::TakeDue(Clock::time_point now) {
  std::vector<Octets> due;
  const auto end = waiting_.upper_bound(now);
  for (auto entry = waiting_.begin(); entry != end; ++entry)
    due.push_back(std::move(entry->second));
  waiting_.erase(waiting_.begin(), end);
  return due;
}

std::optional<DelayedResponses::Clock::time_point> DelayedResponses::NextDue() const {
  if (waiting_.empty()) return std::nullopt;
  return waiting_.begin()->first;
}

}  // namespace korvane::smsc
