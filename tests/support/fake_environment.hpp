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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvane/platform.hpp"

namespace korvane::testing {

class FakeEnvironment;

// A timer that ticks every interval of virtual time while enabled.
class FakeTimer final : public platform::Timer {
 public:
  FakeTimer(FakeEnvironment& environment, std::function<void()> on_tick);
  ~FakeTimer() override;
  FakeTimer(const FakeTimer&) = delete;
  FakeTimer& operator=(const FakeTimer&) = delete;

  // As the real timer: the interval applies from the next arming; enabling
  // a disabled timer arms it; 0 or below never ticks.
  void Interval(int32_t milliseconds) override { interval_ms_ = milliseconds; }
  int32_t Interval() const override { return interval_ms_; }
  void Enabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }

  int64_t Ticks() const { return ticks_; }

 private:
  friend class FakeEnvironment;
  void Arm();

  FakeEnvironment& environment_;
  std::function<void()> on_tick_;
  int32_t interval_ms_ = 0;
  bool enabled_ = false;
  std::optional<std::chrono::milliseconds> due_;  // virtual time of the next tick
  int64_t ticks_ = 0;
};

// A socket whose connect outcome is scripted and whose peer is the test.
// Connect, SendData and Close behave as the real socket's; outcomes show on
// a later Yield, never inside Connect.
class ScriptedSocket final : public platform::TcpSocket {
 public:
  ScriptedSocket(FakeEnvironment& environment, platform::SocketListener& listener);
  ~ScriptedSocket() override;
  ScriptedSocket(const ScriptedSocket&) = delete;
  ScriptedSocket& operator=(const ScriptedSocket&) = delete;

  int32_t State() const override { return state_; }
  void Connect(const std::string& remote_host, int32_t remote_port) override;
  // Records `data` as one PDU; throws ComponentError 40006 unless connected.
  void SendData(std::vector<uint8_t> data) override;
  std::vector<uint8_t> GetData() override;
  void Close() override;
  // The port set, or kEphemeralPort while connected with none set.
  int32_t LocalPort() const override;
  void LocalPort(int32_t port) override;
  std::string LocalIPAddress() const override;
  int32_t SocketHandle() const override;

  // How later connects end, `delay` of virtual time after Connect. The
  // default is AcceptConnect() at the next yield.
  void AcceptConnect(std::chrono::milliseconds delay = {});
  // State 9 and OnSocketError 10061 "Connection refused".
  void RefuseConnect(std::chrono::milliseconds delay = {});
  // Stays connecting (state 6) until closed.
  void NeverAnswerConnect();

  // The peer's side: octets arrive (queued, then OnSocketDataArrival), the
  // peer closes (state 8, OnSocketClose), or the link fails (state 9,
  // OnSocketError).
  void Receive(const std::vector<uint8_t>& octets);
  void PeerClose();
  void Fail(int32_t number, const std::string& description);

  // Every SendData call, in order, one entry each.
  const std::vector<std::vector<uint8_t>>& Sent() const { return sent_; }
  void ClearSent() { sent_.clear(); }
  int ConnectCount() const { return connect_count_; }
  const std::string& RemoteHost() const { return remote_host_; }
  int32_t RemotePort() const { return remote_port_; }
  // What the socket reports while connected.
  void SetLocalIPAddress(std::string address) { local_address_ = std::move(address); }
  void SetSocketHandle(int32_t handle) { handle_ = handle; }

  static constexpr int32_t kEphemeralPort = 50123;

 private:
  enum class Outcome { kAccept, kRefuse, kNoAnswer };

  FakeEnvironment& environment_;
  platform::SocketListener& listener_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // watched by scheduled outcomes
  uint64_t attempt_ = 0;  // a new one with every Connect and Close
  Outcome outcome_ = Outcome::kAccept;
  std::chrono::milliseconds delay_{0};
  int32_t state_ = platform::kSocketClosed;
  int32_t local_port_ = 0;
  std::string local_address_ = "127.0.0.1";
  int32_t handle_ = 1001;
  std::string remote_host_;
  int32_t remote_port_ = 0;
  int connect_count_ = 0;
  std::vector<uint8_t> input_;
  std::vector<std::vector<uint8_t>> sent_;
};

class FakeEnvironment final : public platform::Environment {
 public:
  // Where MonotonicNow starts.
  static constexpr std::chrono::steady_clock::time_point kStart{std::chrono::hours(1000)};

  std::chrono::steady_clock::time_point MonotonicNow() override { return kStart + now_; }
  DateTime LocalNow() override;
  double SecondsSinceMidnight() override;
  int32_t LocalTimeZoneBiasMinutes() override { return bias_minutes_; }
  // Counts itself and advances by the yield slice.
  void Yield() override;
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()> on_tick) override;
  std::unique_ptr<platform::TcpSocket> CreateSocket(platform::SocketListener& listener) override;

  // Moves virtual time on by `duration`, running what falls due on the way,
  // in time order (at equal times actions before ticks, actions in the order
  // they were scheduled).
  void Advance(std::chrono::milliseconds duration);
  // Runs `action` once `delay` of virtual time has passed.
  void At(std::chrono::milliseconds delay, std::function<void()> action);

  // The local clock reads `now` at the current virtual time (by default
  // 2024-03-15 12:00:00 at the start) and runs on with virtual time.
  void SetLocalNow(const DateTime& now);
  void SetTimeZoneBias(int32_t minutes) { bias_minutes_ = minutes; }
  void SetYieldSlice(std::chrono::milliseconds slice) { slice_ = slice; }

  std::chrono::milliseconds Elapsed() const { return now_; }
  int64_t YieldCount() const { return yields_; }
  // The socket created last, null once it is destroyed.
  ScriptedSocket* LastSocket() const { return last_socket_; }
  // Live timers, in creation order.
  const std::vector<FakeTimer*>& Timers() const { return timers_; }

 private:
  friend class FakeTimer;
  friend class ScriptedSocket;
  struct Action {
    std::chrono::milliseconds due;
    uint64_t order;
    std::function<void()> run;
  };

  // Runs the earliest action or tick due by `limit`; false when none is.
  bool RunNext(std::chrono::milliseconds limit);

  std::chrono::milliseconds now_{0};
  std::chrono::milliseconds slice_{10};
  int64_t yields_ = 0;
  DateTime local_base_{2024, 3, 15, 12, 0, 0};
  std::chrono::milliseconds local_base_at_{0};
  int32_t bias_minutes_ = 0;
  uint64_t next_order_ = 0;
  std::vector<Action> actions_;
  std::vector<FakeTimer*> timers_;
  ScriptedSocket* last_socket_ = nullptr;
};

}  // namespace korvane::testing
