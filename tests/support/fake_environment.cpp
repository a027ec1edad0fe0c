#include "support/fake_environment.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/socket_errors.hpp"

namespace korvane::testing {

using std::chrono::milliseconds;

FakeTimer::FakeTimer(FakeEnvironment& environment, std::function<void()> on_tick)
    : environment_(environment), on_tick_(std::move(on_tick)) {
  environment_.timers_.push_back(this);
}

FakeTimer::~FakeTimer() { std::erase(environment_.timers_, this); }

void FakeTimer::Enabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled) {
    Arm();
  } else {
    due_.reset();
  }
}

void FakeTimer::Arm() {
  due_.reset();
  if (interval_ms_ > 0) due_ = environment_.now_ + milliseconds(interval_ms_);
}

ScriptedSocket::ScriptedSocket(FakeEnvironment& environment, platform::SocketListener& listener)
    : environment_(environment), listener_(listener) {
  environment_.last_socket_ = this;
}

ScriptedSocket::~ScriptedSocket() {
  if (environment_.last_socket_ == this) environment_.last_socket_ = nullptr;
}

void ScriptedSocket::Connect(const std::string& remote_host, int32_t remote_port) {
  if (state_ != platform::kSocketClosed) Close();
  ++connect_count_;
  remote_host_ = remote_host;
  remote_port_ = remote_port;
  state_ = platform::kSocketConnecting;
  if (outcome_ == Outcome::kNoAnswer) return;
  environment_.At(delay_, [this, alive = std::weak_ptr<bool>(alive_), attempt = ++attempt_] {
    if (alive.expired() || attempt != attempt_) return;
    if (outcome_ == Outcome::kAccept) {
      state_ = platform::kSocketConnected;
    } else {
      Fail(10061, "Connection refused");
    }
  });
}

void ScriptedSocket::SendData(std::vector<uint8_t> data) {
  if (state_ != platform::kSocketConnected) throw platform::WrongStateError();
  sent_.push_back(std::move(data));
}

std::vector<uint8_t> ScriptedSocket::GetData() { return std::exchange(input_, {}); }

void ScriptedSocket::Close() {
  ++attempt_;
  state_ = platform::kSocketClosed;
  input_.clear();
}

int32_t ScriptedSocket::LocalPort() const {
  const bool open = state_ == platform::kSocketConnected || state_ == platform::kSocketClosing;
  return open && local_port_ == 0 ? kEphemeralPort : local_port_;
}

void ScriptedSocket::LocalPort(int32_t port) {
  if (port < 0 || port > 65535) throw platform::InvalidPortError();
  local_port_ = port;
}

std::string ScriptedSocket::LocalIPAddress() const {
  return state_ == platform::kSocketConnected ? local_address_ : std::string();
}

int32_t ScriptedSocket::SocketHandle() const {
  const bool open = state_ == platform::kSocketConnected || state_ == platform::kSocketClosing;
  return open ? handle_ : 0;
}

void ScriptedSocket::AcceptConnect(milliseconds delay) {
  outcome_ = Outcome::kAccept;
  delay_ = delay;
}

void ScriptedSocket::RefuseConnect(milliseconds delay) {
  outcome_ = Outcome::kRefuse;
  delay_ = delay;
}

void ScriptedSocket::NeverAnswerConnect() { outcome_ = Outcome::kNoAnswer; }

void ScriptedSocket::Receive(const std::vector<uint8_t>& octets) {
  input_.insert(input_.end(), octets.begin(), octets.end());
  listener_.OnSocketDataArrival(input_.size());
}

void ScriptedSocket::PeerClose() {
  state_ = platform::kSocketClosing;
  listener_.OnSocketClose();
}

void ScriptedSocket::Fail(int32_t number, const std::string& description) {
  ++attempt_;
  state_ = platform::kSocketError;
  listener_.OnSocketError(number, description);
}

DateTime FakeEnvironment::LocalNow() {
  const auto since_base = std::chrono::floor<std::chrono::seconds>(now_ - local_base_at_);
  return local_base_.AddSeconds(since_base.count());
}

double FakeEnvironment::SecondsSinceMidnight() {
  const double at_base = local_base_.hour * 3600.0 + local_base_.minute * 60.0 + local_base_.second;
  const double since_base = std::chrono::duration<double>(now_ - local_base_at_).count();
  return std::fmod(at_base + since_base, 86400.0);
}

void FakeEnvironment::Yield() {
  ++yields_;
  Advance(slice_);
}

std::unique_ptr<platform::Timer> FakeEnvironment::CreateTimer(std::function<void()> on_tick) {
  return std::make_unique<FakeTimer>(*this, std::move(on_tick));
}

std::unique_ptr<platform::TcpSocket> FakeEnvironment::CreateSocket(
    platform::SocketListener& listener) {
  return std::make_unique<ScriptedSocket>(*this, listener);
}

void FakeEnvironment::Advance(milliseconds duration) {
  const milliseconds target = now_ + duration;
  while (RunNext(target)) {
  }
  // A nested yield inside a tick or action may already have gone further.
  now_ = std::max(now_, target);
}

void FakeEnvironment::At(milliseconds delay, std::function<void()> action) {
  actions_.push_back(Action{now_ + delay, next_order_++, std::move(action)});
}

void FakeEnvironment::SetLocalNow(const DateTime& now) {
  local_base_ = now;
  local_base_at_ = now_;
}

bool FakeEnvironment::RunNext(milliseconds limit) {
  auto action =
      std::min_element(actions_.begin(), actions_.end(), [](const Action& a, const Action& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
      });
  FakeTimer* timer = nullptr;
  for (FakeTimer* candidate : timers_) {
    if (candidate->due_ && (!timer || *candidate->due_ < *timer->due_)) timer = candidate;
  }
  const bool action_due = action != actions_.end() && action->due <= limit;
  const bool tick_due = timer && *timer->due_ <= limit;
  if (action_due && (!tick_due || action->due <= *timer->due_)) {
    now_ = std::max(now_, action->due);
    std::function<void()> run = std::move(action->run);
    actions_.erase(action);
    run();
    return true;
  }
  if (!tick_due) return false;
  now_ = std::max(now_, *timer->due_);
  timer->Arm();
  ++timer->ticks_;
  // A copy: the tick may destroy the timer.
  std::function<void()> tick = timer->on_tick_;
  tick();
  return true;
}

}  // namespace korvane::testing
