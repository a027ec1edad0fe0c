// Reconnector: the automatic rebind (AutoReconnect). When a bound connection
// is lost without the host ending it, the session connects and binds again
// with the binding type it had, driven by one timer on the event loop so
// that no step blocks a call or an event handler:
//
//   idle --lost while bound--> pending --events raised--> waiting (back-off)
//   waiting --delay over--> connecting (socket state polled)
//   connecting --connected--> binding (bind request sent, response awaited)
//   binding --accepted--> idle (Reconnected)
//   connecting/binding --failed, refused, timed out, lost--> pending
//   any --Stop (host's Bind, Unbind, destruction)--> idle
//
// While it runs, the submission window holds its queue for the next
// connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "korvane/platform.hpp"

namespace korvane::session {

class Session;

class Reconnector {
 public:
  // Draws the jitter of one delay, in [-1, 1]; the delay moves by up to 20 %
  // of its value that way.
  using JitterSource = std::function<double()>;

  explicit Reconnector(Session& session);
  ~Reconnector();
  Reconnector(const Reconnector&) = delete;
  Reconnector& operator=(const Reconnector&) = delete;

  // Replaces the random jitter (tests draw exact values).
  void UseJitter(JitterSource source) { jitter_ = std::move(source); }

  // Between a lost connection and the next binding.
  bool Active() const { return phase_ != Phase::kIdle; }
  int32_t Attempt() const { return attempt_; }

  // The connection is about to be dropped; it was bound as `bound_as` (0:
  // not bound). Starts the rebinding when AutoReconnect is on, or marks the
  // attempt in progress failed. Raises no events.
  void ConnectionLosing(int32_t bound_as);
  // The loss has been reported to the host: schedules the next attempt.
  void ConnectionLost();
  // A bind response arrived, accepted or refused with this status.
  void BindAnswered(bool accepted, uint32_t status);
  // Ends the rebinding: the attempt's connection is closed and the queued
  // submissions complete as not sent.
  void Stop();

  // The delay before attempt `attempt` (1, 2, ...), jitter drawn.
  int32_t DelayBefore(int32_t attempt);

 private:
  enum class Phase { kIdle, kPending, kWaiting, kConnecting, kBinding };

  void Arm(int32_t milliseconds);
  void Disarm();
  void OnTick();
  void Schedule();
  void StartAttempt();
  void PollConnect();
  void Fail(const std::string& reason);
  void Succeed();
  // Closes the attempt's connection, if any, and forgets its bind.
  void DropConnection();

  Session& session_;
  std::unique_ptr<platform::Timer> timer_;
  JitterSource jitter_;
  Phase phase_ = Phase::kIdle;
  int32_t binding_type_ = 0;
  int32_t attempt_ = 0;
  std::string failure_;  // why the attempt in progress ended, while pending
  std::chrono::steady_clock::time_point connect_started_;
};

}  // namespace korvane::session
