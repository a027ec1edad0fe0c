#include "session/reconnector.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "session/binding.hpp"
#include "session/session.hpp"

namespace korvane::session {
namespace {

// How often the socket is looked at while it connects.
constexpr int32_t kConnectPollMilliseconds = 10;
// The share of a delay the jitter may add or take away.
constexpr double kJitterShare = 0.2;

Reconnector::JitterSource RandomJitter() {
  return [generator = std::mt19937(std::random_device{}())]() mutable {
    return std::uniform_real_distribution<double>(-1.0, 1.0)(generator);
  };
}

}  // namespace

Reconnector::Reconnector(Session& session) : session_(session), jitter_(RandomJitter()) {}
Reconnector::~Reconnector() = default;

int32_t Reconnector::DelayBefore(int32_t attempt) {
  const SessionSettings& settings = session_.settings();
  const int64_t most = std::max<int64_t>(1, settings.reconnect_max_delay_ms);
  int64_t base = std::max<int64_t>(1, settings.reconnect_initial_delay_ms);
  for (int32_t n = 1; n < attempt && base < most; ++n) base *= 2;
  base = std::min(base, most);
  const double jitter = std::clamp(jitter_(), -1.0, 1.0);
  const auto delay = std::llround(static_cast<double>(base) * (1.0 + kJitterShare * jitter));
  return static_cast<int32_t>(std::clamp<int64_t>(delay, 1, most));
}

void Reconnector::ConnectionLosing(int32_t bound_as) {
  switch (phase_) {
    case Phase::kConnecting:
    case Phase::kBinding:
      failure_ = "connection lost while binding";
      phase_ = Phase::kPending;
      Disarm();
      return;
    case Phase::kIdle:
      if (bound_as == 0 || !session_.settings().auto_reconnect) return;
      binding_type_ = bound_as;
      attempt_ = 0;
      failure_.clear();
      phase_ = Phase::kPending;
      session_.submit_window().Hold(true);
      return;
    default:
      return;
  }
}

void Reconnector::ConnectionLost() {
  if (phase_ != Phase::kPending) return;
  if (failure_.empty()) return Schedule();
  Fail(std::exchange(failure_, {}));
}

void Reconnector::Schedule() {
  ++attempt_;
  const int32_t delay = DelayBefore(attempt_);
  phase_ = Phase::kWaiting;
  Arm(delay);
  const int32_t attempt = attempt_;
  session_.Raise([&](SMPPEvents& sink) { sink.Reconnecting(attempt, delay); });
}

void Reconnector::OnTick() {
  session_.Procedure("Reconnect").Step([&] {
    switch (phase_) {
      case Phase::kWaiting:
        return StartAttempt();
      case Phase::kConnecting:
        return PollConnect();
      case Phase::kBinding:
        return Fail("no bind response in time");
      default:
        return Disarm();
    }
  });
}

void Reconnector::StartAttempt() {
  // What is left of the lost connection goes first; the queue is held.
  if (session_.socket().State() != platform::kSocketClosed) session_.transport().CloseSocket();
  session_.bind_state().BindStarted();
  phase_ = Phase::kConnecting;
  connect_started_ = session_.environment().MonotonicNow();
  Arm(kConnectPollMilliseconds);
  const SessionSettings& settings = session_.settings();
  session_.socket().Connect(settings.server_address, settings.server_port);
}

void Reconnector::PollConnect() {
  const int32_t state = session_.socket().State();
  if (state == platform::kSocketConnected) {
    session_.transport().Established();
    phase_ = Phase::kBinding;
    Arm(std::max(1, session_.settings().operations_timeout * 1000));
    session_.bind_state().Requested(binding_type_);
    SendBindRequest(session_, binding_type_);
    return;
  }
  const std::chrono::duration<double> timeout(session_.settings().connection_timeout);
  if (state > platform::kSocketConnected) {
    Fail("could not connect");
  } else if (session_.environment().MonotonicNow() - connect_started_ > timeout) {
    Fail("connect timed out");
  }
}

void Reconnector::BindAnswered(bool accepted, uint32_t status) {
  if (phase_ != Phase::kBinding) return;
  if (accepted) return Succeed();
  char reason[48];
  std::snprintf(reason, sizeof reason, "bind refused with status 0x%08X",
                static_cast<unsigned>(status));
  Fail(reason);
}

void Reconnector::Fail(const std::string& reason) {
  phase_ = Phase::kPending;
  Disarm();
  DropConnection();
  const int32_t attempt = attempt_;
  session_.Raise([&](SMPPEvents& sink) { sink.ReconnectFailed(attempt, reason); });
  // Unless a handler stopped the rebinding or bound itself.
  if (phase_ == Phase::kPending) Schedule();
}

void Reconnector::Succeed() {
  phase_ = Phase::kIdle;
  Disarm();
  const int32_t attempt = std::exchange(attempt_, 0);
  SubmitWindow& window = session_.submit_window();
  window.Hold(false);
  session_.Raise([&](SMPPEvents& sink) { sink.Reconnected(attempt); });
  window.Resume();
}

void Reconnector::Stop() {
  if (phase_ == Phase::kIdle) return;
  const bool attempting = phase_ == Phase::kConnecting || phase_ == Phase::kBinding;
  phase_ = Phase::kIdle;
  attempt_ = 0;
  failure_.clear();
  Disarm();
  if (attempting) DropConnection();
  SubmitWindow& window = session_.submit_window();
  window.Hold(false);
  window.ConnectionEnded();
}

void Reconnector::DropConnection() {
  if (session_.socket().State() != platform::kSocketClosed) session_.transport().CloseSocket();
  session_.bind_state().RequestDropped();
}

void Reconnector::Arm(int32_t milliseconds) {
  if (!timer_) timer_ = session_.environment().CreateTimer([this] { OnTick(); });
  timer_->Enabled(false);
  timer_->Interval(milliseconds);
  timer_->Enabled(true);
}

void Reconnector::Disarm() {
  if (timer_) timer_->Enabled(false);
}

}  // namespace korvane::session
