#include "support/fake_environment.hpp"

#include <algorithm>
#include <cmath>

#include "platform/socket_errors.hpp"

namespace korvane::testing {
namespace {

// `action` wrapped to run only while `counter` lives and still holds its
// present value.
std::function<void()> WhileUnchanged(const std::shared_ptr<uint64_t>& counter,
                                     std::function<void()> action) {
  return [weak = std::weak_ptr<uint64_t>(counter), value = *counter, action = std::move(action)] {
    const std::shared_ptr<uint64_t> live = weak.lock();
    if (live && *live == value) action();
  };
}

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
    enabled ? Arm() : void(++*arming_);
  }
  bool Enabled() const override { return enabled_; }

 private:
  void Arm() {
    ++*arming_;
    if (interval_ms_ <= 0) return;
    environment_.At(milliseconds(interval_ms_), WhileUnchanged(arming_, [this] {
                      Arm();
                      const std::function<void()> tick = on_tick_;  // it may destroy the timer
                      tick();
                    }));
  }

  FakeEnvironment& environment_;
  std::function<void()> on_tick_;
  int32_t interval_ms_ = 0;
  bool enabled_ = false;
  std::shared_ptr<uint64_t> arming_ = std::make_shared<uint64_t>(0);
};

}  // namespace

void ScriptedSocket::Later(milliseconds delay, std::function<void()> action) {
  environment_.At(delay, WhileUnchanged(attempt_, std::move(action)));
}

void ScriptedSocket::Connect(const std::string& remote_host, int32_t) {
  if (state_ != platform::kSocketClosed) Close();
  remote_host_ = remote_host;
  state_ = platform::kSocketConnecting;
  ++*attempt_;
  if (outcome_ == kAccept) Later(delay_, [this] { state_ = platform::kSocketConnected; });
  if (outcome_ == kRefuse) Later(delay_, [this] { Fail(10061, "Connection refused"); });
}

void ScriptedSocket::SendData(std::vector<uint8_t> data) {
  if (state_ != platform::kSocketConnected) throw platform::WrongStateError();
  sent_.push_back(std::move(data));
  std::vector<uint8_t> answer = responder_ ? responder_(sent_.back()) : std::vector<uint8_t>{};
  if (answer.empty()) return;
  Later(answer_delay_, [this, answer = std::move(answer)] {
    if (state_ == platform::kSocketConnected) Receive(answer);
  });
}

DateTime FakeEnvironment::LocalNow() {
  return DateTime(2024, 3, 15, 12)
      .AddSeconds(std::chrono::floor<std::chrono::seconds>(now_).count());
}

double FakeEnvironment::SecondsSinceMidnight() {
  return std::fmod(12 * 3600.0 + std::chrono::duration<double>(now_).count(), 86400.0);
}

std::unique_ptr<platform::Timer> FakeEnvironment::CreateTimer(std::function<void()> on_tick) {
  return std::make_unique<FakeTimer>(*this, std::move(on_tick));
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
  now_ = std::max(now_, target);  // a nested yield may already have gone further
}

}  // namespace korvane::testing
