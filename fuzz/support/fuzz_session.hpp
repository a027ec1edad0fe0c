// What the fuzz targets share: a reader of every member of a message that
// aborts on a broken invariant (the fuzzer records it as a crash), and a
// session on the fake environment (virtual time, scripted socket) whose
// events are recorded and checked as they come, and whose peer answers the
// bind with octets the target chooses, then accepts every bind and answers
// every unbind, so that destroying the session ends promptly. Waits are
// short (one second of virtual time), so an input that never answers costs
// little.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"

namespace korvane::fuzzing {

// Prints `what` and aborts.
[[noreturn]] void Broken(std::string_view what);

// The names MessageObject answers to by GetMember.
std::vector<std::string> MemberNames();

// Reads every member, by name and the lists, so that a bad value surfaces
// under the sanitizers; returns a digest, so nothing is optimised away.
// DefaultMsgId and UserMessageReference must be in range. A message the
// library built (a received one) also keeps at most 254 recipients and TLVs
// whose TagLength is their value's length and whose tags fit 16 bits.
uint64_t InspectMessage(const MessageObject& message, bool built_by_library = false);

class FuzzSession {
 public:
  // Every event is recorded; an Error must have a description, a message
  // passes InspectMessage; then `on_event` sees it.
  FuzzSession();
  // The handler's actions may refer to the target's own state, which ends
  // before the session's final unbind.
  ~FuzzSession() { on_event = nullptr; }

  // Connects and binds as `type`, the bind answered with `bind_answer`.
  int16_t Bind(BindTypes type, std::vector<uint8_t> bind_answer) {
    first_answer_ = std::move(bind_answer);
    return smpp.Bind(type);
  }
  std::size_t Count(const std::string& event_name) const;

  // In this order: the session is destroyed first and unbinds while the
  // recorder and the environment are still there.
  testing::FakeEnvironment environment;
  testing::EventRecorder events;
  std::function<void(const testing::RecordedEvent&)> on_event;
  uint64_t digest = 0;
  SMPP smpp;
  testing::ScriptedSocket& socket;

 private:
  std::vector<uint8_t> first_answer_;
  bool answered_first_ = false;
};

}  // namespace korvane::fuzzing
