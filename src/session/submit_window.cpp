#include "session/submit_window.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "session/session.hpp"

namespace korvane::session {
namespace {

constexpr int32_t kTimerMilliseconds = 100;

SubmitResult Failure(SubmitOutcome outcome, int32_t sequence_number, std::string text) {
  SubmitResult result;
  result.Outcome = outcome;
  result.SequenceNumber = sequence_number;
  result.ErrorNumber = -1;
  result.ErrorText = std::move(text);
  return result;
}

}  // namespace

SubmitWindow::SubmitWindow(Session& session)
    : session_(session), pacing_(session.environment(), [this] { Pump(); }) {}
SubmitWindow::~SubmitWindow() = default;

bool SubmitWindow::Submit(MessageObject message, SubmitCompletion completion) {
  const SessionSettings& settings = session_.settings();
  const char* refusal = nullptr;
  if (closed_) {
    refusal = "not sent: the session is closing";
  } else if (!session_.bind_state().ConnectedAndBound() && !holding_) {
    refusal = "not sent: not bound";
  } else if (queue_.size() >= static_cast<std::size_t>(std::max(0, settings.max_queued))) {
    refusal = "not sent: the submission queue is full";
  }
  if (refusal) {
    if (completion) completion(Failure(SubmitOutcome::NotSent, 0, refusal));
    return false;
  }
  queue_.push_back({std::move(message), std::move(completion), next_order_++});
  Pump();
  return true;
}

void SubmitWindow::Pump() {
  if (pumping_ || !sender_ || closed_) return;
  pumping_ = true;
  held_ = false;
  const SessionSettings& settings = session_.settings();
  const auto limit = static_cast<std::size_t>(std::max(1, settings.max_outstanding));
  while (!queue_.empty() && in_flight_.size() < limit &&
         session_.bind_state().ConnectedAndBound()) {
    if (!pacing_.Ready(settings.max_submits_per_second, queue_.front().not_before)) break;
    Waiting next = std::move(queue_.front());
    queue_.pop_front();
    const Attempt attempt = sender_(next.message);
    if (attempt.held) {
      // Back to the front: it goes first once the output has drained (the
      // timer looks again).
      queue_.push_front(std::move(next));
      held_ = true;
      break;
    }
    const int32_t sequence_number = attempt.sequence_number;
    if (sequence_number == 0) {
      SubmitResult result = Failure(SubmitOutcome::NotSent, 0, "not sent: refused before sending");
      result.Retries = next.retries;
      if (next.completion) next.completion(result);
      continue;
    }
    pacing_.Sent();
    const auto now = session_.environment().MonotonicNow();
    in_flight_[sequence_number] = {now, now + std::chrono::seconds(settings.operations_timeout),
                                   std::move(next)};
  }
  pumping_ = false;
  ArmTimer();
}

void SubmitWindow::Answered(int32_t sequence_number, uint32_t status,
                            const std::string& message_id) {
  const auto flight = in_flight_.find(sequence_number);
  if (flight == in_flight_.end()) return;
  Flight done = std::move(flight->second);
  in_flight_.erase(flight);
  if (Retry(done, status)) return;
  SubmitResult result;
  result.SequenceNumber = sequence_number;
  result.CommandStatus = status;
  result.Elapsed = session_.environment().MonotonicNow() - done.sent_at;
  result.Retries = done.submission.retries;
  if (status == 0) {
    result.Outcome = SubmitOutcome::Accepted;
    result.MessageID = message_id;
  } else {
    result.Outcome = SubmitOutcome::Refused;
    result.ErrorNumber = -1;
    char text[40];
    std::snprintf(text, sizeof text, "refused with status 0x%08X", static_cast<unsigned>(status));
    result.ErrorText = text;
  }
  if (done.submission.completion) done.submission.completion(result);
  Pump();
}

void SubmitWindow::ExpireOverdue() {
  const auto now = session_.environment().MonotonicNow();
  std::vector<std::pair<int32_t, Flight>> overdue;
  for (auto flight = in_flight_.begin(); flight != in_flight_.end();) {
    if (flight->second.deadline <= now) {
      overdue.emplace_back(flight->first, std::move(flight->second));
      flight = in_flight_.erase(flight);
    } else {
      ++flight;
    }
  }
  for (auto& [sequence_number, flight] : overdue) {
    SubmitResult result = Failure(SubmitOutcome::TimedOut, sequence_number, "timed out");
    result.Elapsed = now - flight.sent_at;
    result.Retries = flight.submission.retries;
    if (flight.submission.completion) flight.submission.completion(result);
  }
  Pump();
}

void SubmitWindow::ConnectionEnded() {
  std::unordered_map<int32_t, Flight> lost = std::move(in_flight_);
  std::deque<Waiting> unsent;
  if (!holding_) unsent = std::exchange(queue_, {});
  in_flight_.clear();
  held_ = false;
  ArmTimer();
  pacing_.Stop();
  for (auto& [sequence_number, flight] : lost) {
    SubmitResult result =
        Failure(SubmitOutcome::ConnectionLost, sequence_number, "connection lost, outcome unknown");
    result.Retries = flight.submission.retries;
    if (flight.submission.completion) flight.submission.completion(result);
  }
  for (Waiting& waiting : unsent) {
    SubmitResult result = Failure(SubmitOutcome::NotSent, 0, "not sent");
    result.Retries = waiting.retries;
    if (waiting.completion) waiting.completion(result);
  }
}

void SubmitWindow::Close() {
  closed_ = true;
  holding_ = false;
  ConnectionEnded();
}

void SubmitWindow::ArmTimer() {
  const bool wanted = !in_flight_.empty() || (held_ && !queue_.empty());
  if (!timer_) {
    if (!wanted) return;
    timer_ = session_.environment().CreateTimer([this] { ExpireOverdue(); });
    timer_->Interval(kTimerMilliseconds);
  }
  if (timer_->Enabled() != wanted) timer_->Enabled(wanted);
}

}  // namespace korvane::session
