// A platform environment for tests, on virtual time: nothing waits for real.
// Each Yield advances the virtual clock by a slice and runs, in time order,
// the timer ticks and scheduled actions that fell due; Advance does the same
// for any stretch. Sockets are scripted: a test decides how a connect ends,
// plays the peer's side and reads every PDU the code under test sent.
// Single-threaded. The environment must outlive its timers and sockets;
// ticks and actions may yield again (nested), destroy timers and sockets,
// and schedule further actions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "korvane/platform.hpp"

namespace korvane::testing {

class FakeEnvironment;
using std::chrono::milliseconds;

// A socket whose connect outcome is scripted and whose peer is the test.
// Connect, SendData and Close behave as the real socket's; outcomes show on
// a later Yield, never inside Connect.
class ScriptedSocket final : public platform::TcpSocket {
 public:
  ScriptedSocket(FakeEnvironment& environment, platform::SocketListener& listener);
  ~ScriptedSocket() override;  // (both below FakeEnvironment)

  int32_t State() const override { return state_; }
  void Connect(const std::string& remote_host, int32_t remote_port) override;
  // Records `data` as one PDU; throws ComponentError 40006 unless connected.
  void SendData(std::vector<uint8_t> data) override;
  std::vector<uint8_t> GetData() override { return std::exchange(input_, {}); }
  void Close() override { ++*attempt_, state_ = platform::kSocketClosed, input_.clear(); }
  // The port set, or 50123 while open with none set.
  int32_t LocalPort() const override { return Open() && !local_port_ ? 50123 : local_port_; }
  void LocalPort(int32_t port) override { local_port_ = port; }
  std::string LocalIPAddress() const override { return "127.0.0.1"; }
  int32_t SocketHandle() const override { return Open() ? 1001 : 0; }

  // How later connects end, `delay` of virtual time after Connect: accepted
  // (the default, at the next yield), refused (state 9 and OnSocketError
  // 10061 "Connection refused"), or never answered (state 6 until closed).
  void AcceptConnect(milliseconds delay = {}) { outcome_ = kAccept, delay_ = delay; }
  void RefuseConnect(milliseconds delay = {}) { outcome_ = kRefuse, delay_ = delay; }
  void NeverAnswerConnect() { outcome_ = kNoAnswer; }

  // The peer's side: octets arrive (queued, then OnSocketDataArrival), the
  // peer closes (state 8, OnSocketClose), or the link fails (state 9,
  // OnSocketError).
  void Receive(const std::vector<uint8_t>& octets) {
    input_.insert(input_.end(), octets.begin(), octets.end());
    listener_.OnSocketDataArrival(input_.size());
  }
  void PeerClose() { state_ = platform::kSocketClosing, listener_.OnSocketClose(); }
  void Fail(int32_t number, const std::string& description) {
    ++*attempt_, state_ = platform::kSocketError;
    listener_.OnSocketError(number, description);
  }

  // The peer's automatic answers: after each SendData, `responder` sees the
  // octets sent and its answer (if not empty) arrives `delay` later.
  using Responder = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& sent)>;
  void AnswerWith(Responder responder, milliseconds delay = milliseconds(10)) {
    responder_ = std::move(responder), answer_delay_ = delay;
  }

  // Every SendData call, in order, one entry each.
  const std::vector<std::vector<uint8_t>>& Sent() const { return sent_; }
  const std::string& RemoteHost() const { return remote_host_; }

 private:
  enum Outcome { kAccept, kRefuse, kNoAnswer };
  bool Open() const {
    return state_ == platform::kSocketConnected || state_ == platform::kSocketClosing;
  }
  // Runs `action` after `delay` unless a Connect, Close or failure (or the
  // socket's destruction) came first.
  void Later(milliseconds delay, std::function<void()> action);

  FakeEnvironment& environment_;
  platform::SocketListener& listener_;
  std::shared_ptr<uint64_t> attempt_ = std::make_shared<uint64_t>(0);
  Outcome outcome_ = kAccept;
  milliseconds delay_{0}, answer_delay_{10};
  int32_t state_ = platform::kSocketClosed, local_port_ = 0;
  std::string remote_host_;
  std::vector<uint8_t> input_;
  std::vector<std::vector<uint8_t>> sent_;
  Responder responder_;
};

class FakeEnvironment : public platform::Environment {
 public:
  // Where MonotonicNow starts; the local clock then reads 2024-03-15 12:00:00.
  static constexpr std::chrono::steady_clock::time_point kStart{std::chrono::hours(1000)};

  std::chrono::steady_clock::time_point MonotonicNow() override { return kStart + now_; }
  DateTime LocalNow() override;
  double SecondsSinceMidnight() override;
  int32_t LocalTimeZoneBiasMinutes() override { return 0; }
  // Advances by 10 ms.
  void Yield() override { Advance(milliseconds(10)); }
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()> on_tick) override;
  std::unique_ptr<platform::TcpSocket> CreateSocket(platform::SocketListener& listener) override {
    return std::make_unique<ScriptedSocket>(*this, listener);
  }

  // Moves virtual time on by `duration`, running what falls due on the way
  // in time order (at equal times in the order scheduled).
  void Advance(milliseconds duration);
  // Runs `action` once `delay` of virtual time has passed.
  void At(milliseconds delay, std::function<void()> action) {
    actions_.emplace(now_ + delay, std::move(action));
  }
  milliseconds Elapsed() const { return now_; }
  // The socket created last, null once it is destroyed.
  ScriptedSocket* LastSocket() const { return last_socket_; }

 private:
  friend class ScriptedSocket;
  milliseconds now_{0};
  std::multimap<milliseconds, std::function<void()>> actions_;  // by due time
  ScriptedSocket* last_socket_ = nullptr;
};

inline ScriptedSocket::ScriptedSocket(FakeEnvironment& environment,
                                      platform::SocketListener& listener)
    : environment_(environment), listener_(listener) {
  environment_.last_socket_ = this;
}

inline ScriptedSocket::~ScriptedSocket() {
  if (environment_.last_socket_ == this) environment_.last_socket_ = nullptr;
}

}  // namespace korvane::testing
