// SMPPEvents: the outgoing event interface of an SMPP session. Derive from it,
// override the events of interest and Subscribe the sink to a session. All
// events are raised synchronously on the thread that runs the session's event
// loop; the session goes on when the handler returns. Events arrive inside
// the session's calls and inside its waits (see smpp_session.hpp), and
// while the host runs the loop itself. A handler may call back into the
// session, waiting calls included. A MessageObject& lives for the call
// only: copy it to keep it.
#pragma once

#include <cstdint>
#include <string>

#include "korvane/export.hpp"
#include "korvane/message_object.hpp"

namespace korvane {

class KORVANE_SMPP_API SMPPEvents {
 public:
  virtual ~SMPPEvents() = default;

  virtual void ConnectionClosed() {}
  virtual void LinkOk() {}
  virtual void Bound() {}
  virtual void UnBound() {}
  virtual void Error(int32_t number, const std::string& source, const std::string& description) {
    (void)number, (void)source, (void)description;
  }
  virtual void MessageDelivered(MessageObject& Message) { (void)Message; }
  virtual void MessageCancelResult(MessageObject& Message) { (void)Message; }
  virtual void MessageStatusReceived(MessageObject& Message) { (void)Message; }
  virtual void NACK() {}
  virtual void GenericNACK(int32_t Status, int32_t SequenceNumber) {
    (void)Status, (void)SequenceNumber;
  }
  virtual void Warning(int32_t number, const std::string& source, const std::string& description) {
    (void)number, (void)source, (void)description;
  }
  // A deliver_sm, or a data_sm (its text in Payload, from message_payload),
  // raised after its response was sent.
  virtual void MessageReceived(MessageObject& Message) { (void)Message; }
  virtual void DebugLog(const std::string& Message) { (void)Message; }
  virtual void TraceLog(const std::string& Message) { (void)Message; }
  // AutoReconnect: attempt `Attempt` (1, 2, ...) to bind again is scheduled
  // in DelayMilliseconds; it ends as Reconnected (raised after Bound) or as
  // ReconnectFailed with the reason, and then the next one is scheduled.
  virtual void Reconnecting(int32_t Attempt, int32_t DelayMilliseconds) {
    (void)Attempt, (void)DelayMilliseconds;
  }
  virtual void Reconnected(int32_t Attempt) { (void)Attempt; }
  virtual void ReconnectFailed(int32_t Attempt, const std::string& Reason) {
    (void)Attempt, (void)Reason;
  }
};

}  // namespace korvane
