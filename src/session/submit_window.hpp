// SubmitWindow: asynchronous submissions in flight, matched to their
// responses by sequence number, with the queue of those waiting for a free
// place in the window. Each submission completes exactly once.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "korvane/message_object.hpp"
#include "korvane/platform.hpp"
#include "korvane/submission.hpp"

namespace korvane::session {

class Session;

class SubmitWindow {
 public:
  // What sending one message did: its sequence number, or 0 when nothing
  // was sent; `held` when it was not sent because the output queue is full,
  // so it stays first in the queue until the output drains.
  struct Attempt {
    int32_t sequence_number = 0;
    bool held = false;
  };
  using Sender = std::function<Attempt(MessageObject&)>;

  explicit SubmitWindow(Session& session);
  ~SubmitWindow();

  void SetSender(Sender sender) { sender_ = std::move(sender); }
  bool HasSender() const { return static_cast<bool>(sender_); }

  // Queues the message and sends what the window allows. A full queue, or a
  // session not bound, completes it at once with NotSent; false then.
  bool Submit(MessageObject message, SubmitCompletion completion);

  // A response with this sequence number arrived: accepted (status 0) with
  // its id, or refused with its whole status.
  void Answered(int32_t sequence_number, uint32_t status, const std::string& message_id);

  // The connection ended: in flight -> ConnectionLost, queued -> NotSent
  // (unless held).
  void ConnectionEnded();
  // While the session binds again after a lost connection, the queue is
  // held: queued submissions stay (and new ones are taken) for the next
  // connection, where Resume sends them.
  void Hold(bool holding) { holding_ = holding; }
  void Resume() { Pump(); }
  // The session goes away: as ConnectionEnded, and from now on every
  // submission completes at once with NotSent.
  void Close();

  std::size_t InFlight() const { return in_flight_.size(); }
  std::size_t Queued() const { return queue_.size(); }

 private:
  struct Flight {
    std::chrono::steady_clock::time_point sent_at;
    std::chrono::steady_clock::time_point deadline;
    SubmitCompletion completion;
  };
  struct Waiting {
    MessageObject message;
    SubmitCompletion completion;
  };

  void Pump();
  void ExpireOverdue();
  void ArmTimer();

  Session& session_;
  Sender sender_;
  std::unordered_map<int32_t, Flight> in_flight_;
  std::deque<Waiting> queue_;
  std::unique_ptr<platform::Timer> timer_;
  bool pumping_ = false;
  bool held_ = false;    // the first queued waits for room in the output queue
  bool closed_ = false;  // the session is being destroyed
  // Rebinding: the queue waits for the next connection.
  bool holding_ = false;
};

}  // namespace korvane::session
