// The platform seam: everything the session needs from the operating system
// (clocks, time zone, the yield, a periodic timer, a TCP client socket) behind
// small interfaces. The default environment is built on Asio and runs on one
// io_context; tests substitute a fake with virtual time and scripted sockets.
// All notifications are delivered on the thread that runs the loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/export.hpp"

namespace asio {
class io_context;
}

namespace korvane::platform {

// Socket states, numbered as the classic Winsock control numbers them.
enum SocketState : int32_t {
  kSocketClosed = 0,
  kSocketOpen = 1,
  kSocketListening = 2,
  kSocketConnectionPending = 3,
  kSocketResolvingHost = 4,
  kSocketHostResolved = 5,
  kSocketConnecting = 6,
  kSocketConnected = 7,
  kSocketClosing = 8,
  kSocketError = 9,
};

// Receives a socket's notifications. Error numbers follow the Winsock
// numbering (10053 aborted, 10054 reset, 10060 timed out, 10061 refused,
// 11001 host not found, ...).
class KORVANE_SMPP_API SocketListener {
 public:
  virtual void OnSocketClose() = 0;
  virtual void OnSocketDataArrival(std::size_t bytes_waiting) = 0;
  virtual void OnSocketError(int32_t number, const std::string& description) = 0;

 protected:
  ~SocketListener() = default;
};

// A TCP client connection with asynchronous notifications.
class KORVANE_SMPP_API TcpSocket {
 public:
  virtual ~TcpSocket() = default;
  virtual int32_t State() const = 0;
  // Starts an asynchronous connect; the outcome shows as state 7 (connected)
  // or state 9 with an OnSocketError.
  virtual void Connect(const std::string& remote_host, int32_t remote_port) = 0;
  // Queues the octets to be sent whole, after everything queued before. Never
  // blocks. Throws ComponentError 40006 unless connected (state 7).
  virtual void SendData(std::vector<uint8_t> data) = 0;
  // Takes all octets received so far.
  virtual std::vector<uint8_t> GetData() = 0;
  // Octets given to SendData that the system has not taken yet; Close drops
  // them. 0 for a socket that hands each send over at once.
  virtual std::size_t QueuedOutput() const { return 0; }
  virtual void Close() = 0;
  // The local port of the connection, or the one the next connect binds to
  // (0 lets the system choose). Setting a port outside 0..65535 throws
  // ComponentError 380.
  virtual int32_t LocalPort() const = 0;
  virtual void LocalPort(int32_t port) = 0;
  // Empty while not connected.
  virtual std::string LocalIPAddress() const = 0;
  // The operating-system handle, 0 when there is none.
  virtual int32_t SocketHandle() const = 0;
};

// A periodic timer whose ticks arrive on the loop's thread.
class KORVANE_SMPP_API Timer {
 public:
  virtual ~Timer() = default;
  virtual void Interval(int32_t milliseconds) = 0;
  virtual int32_t Interval() const = 0;
  virtual void Enabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class KORVANE_SMPP_API Environment {
 public:
  virtual ~Environment() = default;

  // Elapsed time for waits; never jumps with the wall clock.
  virtual std::chrono::steady_clock::time_point MonotonicNow() = 0;
  // The current local date and time.
  virtual DateTime LocalNow() = 0;
  // Seconds since local midnight, with fractions.
  virtual double SecondsSinceMidnight() = 0;
  // The local zone's offset from UTC in minutes, UTC = local time + bias
  // (positive west of Greenwich).
  virtual int32_t LocalTimeZoneBiasMinutes() = 0;

  // One pass of event processing: runs what is ready, or waits for the next
  // event for at most a short slice. Never spins.
  virtual void Yield() = 0;
  // A pass for a caller that waits until `deadline` in any case: it may wait
  // for the next event up to the deadline rather than a short slice, so an
  // idle wait costs no processor time. By default a plain Yield.
  virtual void YieldUntil(std::chrono::steady_clock::time_point deadline) {
    (void)deadline;
    Yield();
  }

  virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) = 0;
  virtual std::unique_ptr<TcpSocket> CreateSocket(SocketListener& listener) = 0;
};

// The default environment, running on `loop` (which must outlive it).
KORVANE_SMPP_API std::unique_ptr<Environment> MakeAsioEnvironment(asio::io_context& loop);

// The calling thread's own event loop, created on first use and kept busy by
// a work guard so that it never counts as stopped.
KORVANE_SMPP_API asio::io_context& ThreadEventLoop();

}  // namespace korvane::platform
