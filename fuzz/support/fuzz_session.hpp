// What the fuzz targets share: a reader of every member of a message that
// aborts on a broken invariant (the fuzzer records it as a crash), an event
// sink that reads everything a session raises, and a session on the fake
// environment (virtual time, scripted socket) whose peer answers the bind
// with octets the target chooses, then accepts every bind and answers every
// unbind, so that destroying the session ends promptly. Waits are short
// (one second of virtual time), so an input that never answers costs little.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/smpp.hpp"
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

class ReadingSink final : public SMPPEvents {
 public:
  // Called after a message event was read, and after LinkOk or GenericNACK
  // (the events a host answers with a request of its own).
  std::function<void(MessageObject&)> on_message;
  std::function<void()> on_link_event;
  uint64_t digest = 0;
  uint32_t errors = 0;
  uint32_t messages_received = 0;

  void LinkOk() override { Act(); }
  void Error(int32_t number, const std::string& source, const std::string& description) override {
    ++errors;
    if (description.empty()) Broken("an Error event without a description");
    Note(std::to_string(number) + source + description);
  }
  void MessageDelivered(MessageObject& message) override { Read(message); }
  void MessageCancelResult(MessageObject& message) override { Read(message); }
  void MessageStatusReceived(MessageObject& message) override { Read(message); }
  void GenericNACK(int32_t status, int32_t sequence_number) override {
    Note(std::to_string(status) + ':' + std::to_string(sequence_number));
    Act();
  }
  void Warning(int32_t number, const std::string& source, const std::string& description) override {
    Note(std::to_string(number) + source + description);
  }
  void MessageReceived(MessageObject& message) override {
    ++messages_received;
    Read(message);
  }
  void DebugLog(const std::string& text) override { Note(text); }
  void TraceLog(const std::string& text) override { Note(text); }

 private:
  void Act() {
    if (on_link_event) on_link_event();
  }
  void Read(MessageObject& message) {
    digest += InspectMessage(message, true);
    if (on_message) on_message(message);
  }
  void Note(const std::string& text) { digest += std::hash<std::string>()(text); }
};

class FuzzSession {
 public:
  FuzzSession();
  // The handlers' actions may refer to the target's own state, which ends
  // before the session's final unbind.
  ~FuzzSession() {
    sink.on_message = nullptr;
    sink.on_link_event = nullptr;
  }

  // Connects and binds as `type`, the bind answered with `bind_answer`.
  int16_t Bind(BindTypes type, std::vector<uint8_t> bind_answer) {
    first_answer_ = std::move(bind_answer);
    return smpp.Bind(type);
  }

  // In this order: the session is destroyed first and unbinds while the
  // sink and the environment are still there.
  testing::FakeEnvironment environment;
  ReadingSink sink;
  SMPP smpp;
  testing::ScriptedSocket& socket;

 private:
  std::vector<uint8_t> first_answer_;
  bool answered_first_ = false;
};

}  // namespace korvane::fuzzing
