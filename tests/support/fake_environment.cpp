#include "support/fake_environment.hpp"

#include <algorithm>
#include <cmath>

#include "platform/socket_errors.hpp"

namespace korvane::testing {
namespace {

using std::chrono::milliseconds;

// Ticks every interval of virtual time while enabled. As the real timer: the
// interval applies from the next arming, enabling a disabled timer arms it,
// 0 or below never ticks. Each arming schedules one action, which a later
// arming, a disable or the timer's destruction turns stale.
class FakeTimer final : public platform::Timer {
 public:
  FakeTimer(FakeEnvironment& environment, std::function<void()> on_tick)
      : environment_(environment), on_tick_(std::move(on_tick)) {}

  void Interval(int32_t milliseconds) override { interval_ms_ = milliseconds; }
  int32_t Interval() const override { return interval_ms_; }
  void Enabled(bool enabled) override {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled) {
      Arm();
    } else {
      ++*arming_;
    }
  }
  bool Enabled() const override { return enabled_; }

 private:
  void Arm() {
    const uint64_t armed = ++*arming_;
    if (interval_ms_ <= 0) return;
    environment_.At(milliseconds(interval_ms_),
                    [this, arming = std::weak_ptr<uint64_t>(arming_), armed] {
                      const std::shared_ptr<uint64_t> current = arming.lock();
                      if (!current || *current != armed) return;
                      Arm();
                      // A copy: the tick may destroy the timer.
                      const std::function<void()> tick = on_tick_;
                      tick();
                    });
  }

  FakeEnvironment& environment_;
  std::function<void()> on_tick_;
  int32_t interval_ms_ = 0;
  bool enabled_ = false;
  std::shared_ptr<uint64_t> arming_ = std::make_shared<uint64_t>(0);
};

}  // namespace

ScriptedSocket::ScriptedSocket(FakeEnvironment& environment, platform::SocketListener& listener)
    : environment_(environment), listener_(listener) {
  environment_.last_socket_ = this;
}

ScriptedSocket::~ScriptedSocket() {
  if (environment_.last_socket_ == this) environment_.last_socket_ = nullptr;
}

void ScriptedSocket::Connect(const std::string& remote_host, int32_t remote_port) {
  if (state_ != platform::kSocketClosed) Close();
  remote_host_ = remote_host;
  remote_port_ = remote_port;
  state_ = platform::kSocketConnecting;
  const uint64_t attempt = ++*attempt_;
  if (outcome_ == Outcome::kNoAnswer) return;
  environment_.At(delay_, [this, current = std::weak_ptr<uint64_t>(attempt_), attempt] {
    const std::shared_ptr<uint64_t> live = current.lock();
    if (!live || *live != attempt) return;
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
  if (!responder_) return;
  std::vector<uint8_t> answer = responder_(sent_.back());
  if (answer.empty()) return;
  environment_.At(answer_delay_, [this, current = std::weak_ptr<uint64_t>(attempt_),
                                  attempt = *attempt_, answer = std::move(answer)] {
    const std::shared_ptr<uint64_t> live = current.lock();
    if (live && *live == attempt && state_ == platform::kSocketConnected) Receive(answer);
  });
}

void ScriptedSocket::Close() {
  ++*attempt_;
  state_ = platform::kSocketClosed;
  input_.clear();
}

int32_t ScriptedSocket::LocalPort() const {
  return Open() && local_port_ == 0 ? kEphemeralPort : local_port_;
}

void ScriptedSocket::LocalPort(int32_t port) {
  if (port < 0 || port > 65535) throw platform::InvalidPortError();
  local_port_ = port;
}

std::string ScriptedSocket::LocalIPAddress() const {
  return state_ == platform::kSocketConnected ? "127.0.0.1" : "";
}

void ScriptedSocket::Script(Outcome outcome, milliseconds delay) {
  outcome_ = outcome;
  delay_ = delay;
}

void ScriptedSocket::Receive(const std::vector<uint8_t>& octets) {
  input_.insert(input_.end(), octets.begin(), octets.end());
  listener_.OnSocketDataArrival(input_.size());
}

void ScriptedSocket::PeerClose() {
  state_ = platform::kSocketClosing;
  listener_.OnSocketClose();
}

void ScriptedSocket::Fail(int32_t number, const std::string& description) {
  ++*attempt_;
  state_ = platform::kSocketError;
  listener_.OnSocketError(number, description);
}

DateTime FakeEnvironment::LocalNow() {
  return kLocalStart.AddSeconds(std::chrono::floor<std::chrono::seconds>(now_).count());
}

double FakeEnvironment::SecondsSinceMidnight() {
  const double at_start =
      kLocalStart.hour * 3600.0 + kLocalStart.minute * 60.0 + kLocalStart.second;
  return std::fmod(at_start + std::chrono::duration<double>(now_).count(), 86400.0);
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
  // Taken off the schedule before running: the action may schedule, yield
  // (running later actions nested) or destroy what scheduled it.
  while (!actions_.empty() && actions_.begin()->first <= target) {
    now_ = std::max(now_, actions_.begin()->first);
    std::function<void()> action = std::move(actions_.begin()->second);
    actions_.erase(actions_.begin());
    action();
  }
  // A nested yield inside an action may already have gone further.
  now_ = std::max(now_, target);
}

void FakeEnvironment::At(milliseconds delay, std::function<void()> action) {
  actions_.emplace(now_ + delay, std::move(action));
}

}  // namespace korvane::testing
