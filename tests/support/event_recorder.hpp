// An event sink that records every event of a session, in order, for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvane/smpp_events.hpp"

namespace korvane::testing {

struct RecordedEvent {
  std::string name;    // the event's name, e.g. "Error"
  int32_t number = 0;  // Error / Warning number, GenericNACK status
  std::string source;
  std::string text;       // description, log text
  MessageObject message;  // for the message events
};

class EventRecorder : public SMPPEvents {
 public:
  std::vector<RecordedEvent> events;
  // Called after each event is recorded (to act from inside a handler).
  std::function<void(const RecordedEvent&)> on_event;

  // The events with this name, in order.
  std::vector<RecordedEvent> Named(const std::string& name) const;
  // The names of all events, in order.
  std::vector<std::string> Names() const;
  // All events on one line, ", " between them: the name, "#number" when not
  // 0, "[source]" unless it is the component's own, and "{text}" (for errors,
  // warnings and debug lines only with `texts`). A trace shows as "<label"
  // when received and ">label" when sent, an error report as "{@procedure}".
  std::string Summary(bool texts = true) const;

  void ConnectionClosed() override { Add("ConnectionClosed"); }
  void LinkOk() override { Add("LinkOk"); }
  void Bound() override { Add("Bound"); }
  void UnBound() override { Add("UnBound"); }
  void Error(int32_t number, const std::string& source, const std::string& description) override {
    Add("Error", number, source, description);
  }
  void MessageDelivered(MessageObject& message) override { Add("MessageDelivered", message); }
  void MessageCancelResult(MessageObject& message) override { Add("MessageCancelResult", message); }
  void MessageStatusReceived(MessageObject& message) override {
    Add("MessageStatusReceived", message);
  }
  void NACK() override { Add("NACK"); }
  void GenericNACK(int32_t status, int32_t sequence_number) override {
    Add("GenericNACK", status, "", std::to_string(sequence_number));
  }
  void Warning(int32_t number, const std::string& source, const std::string& description) override {
    Add("Warning", number, source, description);
  }
  void MessageReceived(MessageObject& message) override { Add("MessageReceived", message); }
  void DebugLog(const std::string& text) override { Add("DebugLog", 0, "", text); }
  void TraceLog(const std::string& text) override { Add("TraceLog", 0, "", text); }
  // The number is the attempt, the text the delay or the reason.
  void Reconnecting(int32_t attempt, int32_t delay_ms) override {
    Add("Reconnecting", attempt, "", std::to_string(delay_ms));
  }
  void Reconnected(int32_t attempt) override { Add("Reconnected", attempt); }
  void ReconnectFailed(int32_t attempt, const std::string& reason) override {
    Add("ReconnectFailed", attempt, "", reason);
  }

 private:
  void Add(std::string name, int32_t number = 0, std::string source = "", std::string text = "");
  void Add(std::string name, const MessageObject& message);
};

// The lines of a CR LF separated report.
std::vector<std::string> ReportLines(const std::string& report);

}  // namespace korvane::testing
