// SubmitWindow: asynchronous submissions in flight, matched to their
// responses by sequence number, with the queue of those waiting for a free
// place in the window. Each submission completes exactly once.
//
// Throttle answers (0x58, 0x14) send the same submission again, up to
// ThrottleRetryLimit times, after a back-off and at the pace SubmitPacing
// sets. Order: submissions leave in the order they were made; one sent
// again goes back into the queue at its own place, ahead of every
// submission not yet sent (the queue stays in submission order). Those
// already in flight behind it, up to MaxOutstanding - 1, may still be
// accepted before it.
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
#include "session/submit_pacing.hpp"

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
  // its id, or refused with its whole status; a throttle answer queues the
  // submission again while it has retries left.
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
  struct Waiting {
    MessageObject message;
    SubmitCompletion completion;
    int64_t order = 0;    // the submission's place: earlier ones lower
    int32_t retries = 0;  // sent again after a throttle answer so often
    std::chrono::steady_clock::time_point not_before{};  // its back-off
  };
  struct Flight {
    std::chrono::steady_clock::time_point sent_at;
    std::chrono::steady_clock::time_point deadline;
    Waiting submission;  // kept to be sent again after a throttle answer
  };

  void Pump();
  void ExpireOverdue();
  void ArmTimer();
  // Tells the pacer of the answer; true when it was a throttle answer and
  // the submission went back into the queue (submit_window_retry.cpp).
  bool Retry(Flight& flight, uint32_t status);

  Session& session_;
  Sender sender_;
  std::unordered_map<int32_t, Flight> in_flight_;
  std::deque<Waiting> queue_;
  std::unique_ptr<platform::Timer> timer_;
  SubmitPacing pacing_;
  int64_t next_order_ = 0;
  bool pumping_ = false;
  bool held_ = false;    // the first queued waits for room in the output queue
  bool closed_ = false;  // the session is being destroyed
  // Rebinding: the queue waits for the next connection.
  bool holding_ = false;
};

}  // namespace korvane::session
