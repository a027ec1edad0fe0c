// ResponseWaits: the sequence numbers a waiting SendMessage or QueryMessage
// is waiting on, and the answer each got. A wait ends on the response that
// carries its own request's sequence number, never on another request's.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace korvane::session {

class ResponseWaits {
 public:
  struct Answer {
    bool answered = false;
    bool accepted = false;   // status 0 and a well-formed response
    std::string message_id;  // the accepted response's message_id
  };

  // A wait for the response to `sequence_number` starts.
  void Expect(int32_t sequence_number) { waits_[sequence_number] = Answer{}; }

  // A response to `sequence_number` arrived; only the first one counts, and
  // a response nobody waits for is ignored.
  void Answered(int32_t sequence_number, bool accepted, const std::string& message_id = {}) {
    const auto wait = waits_.find(sequence_number);
    if (wait == waits_.end() || wait->second.answered) return;
    wait->second = Answer{.answered = true, .accepted = accepted, .message_id = message_id};
  }

  bool IsAnswered(int32_t sequence_number) const {
    const auto wait = waits_.find(sequence_number);
    return wait != waits_.end() && wait->second.answered;
  }

  // Ends the wait and hands over its answer (not answered after a timeout).
  Answer Take(int32_t sequence_number) {
    const auto wait = waits_.find(sequence_number);
    if (wait == waits_.end()) return {};
    Answer answer = std::move(wait->second);
    waits_.erase(wait);
    return answer;
  }

 private:
  std::map<int32_t, Answer> waits_;
};

}  // namespace korvane::session
