// An event sink that reads everything a session raises: every argument of
// every event and every member of every MessageObject, so that a bad value
// surfaces under the sanitizers. A host may act from inside its handlers;
// `on_message` lets a fuzz target do that for the message events.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "korvane/smpp_events.hpp"

namespace korvane::fuzzing {

class ReadingSink final : public SMPPEvents {
 public:
  // Called after a MessageReceived / MessageDelivered / MessageStatusReceived
  // / MessageCancelResult has been read, with the message the host got.
  std::function<void(MessageObject&)> on_message;
  // Called after LinkOk and GenericNACK, the events a host answers with a
  // request of its own.
  std::function<void()> on_link_event;

  uint64_t digest = 0;
  uint32_t events = 0;
  uint32_t errors = 0;             // Error events
  uint32_t messages_received = 0;  // MessageReceived events

  void ConnectionClosed() override { ++events; }
  void LinkOk() override;
  void Bound() override { ++events; }
  void UnBound() override { ++events; }
  void Error(int32_t number, const std::string& source, const std::string& description) override;
  void MessageDelivered(MessageObject& message) override { Read(message); }
  void MessageCancelResult(MessageObject& message) override { Read(message); }
  void MessageStatusReceived(MessageObject& message) override { Read(message); }
  void NACK() override { ++events; }
  void GenericNACK(int32_t status, int32_t sequence_number) override;
  void Warning(int32_t number, const std::string& source, const std::string& description) override;
  void MessageReceived(MessageObject& message) override {
    ++messages_received;
    Read(message);
  }
  void DebugLog(const std::string& text) override { Note(text); }
  void TraceLog(const std::string& text) override { Note(text); }

 private:
  void Read(MessageObject& message);
  void Note(const std::string& text);
};

}  // namespace korvane::fuzzing
