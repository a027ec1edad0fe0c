// The TCP client socket of the Asio environment, behaving as the classic
// Winsock control does: state numbers 0 closed, 4 resolving host, 6
// connecting, 7 connected, 8 closing (the peer closed; until Close), 9 error.
// Notifications go to the listener on the thread that runs the loop, never
// from inside a call of this class. While connected a read is always
// outstanding and sends are queued with one write in flight, so no call
// blocks. The loop must outlive the socket; the listener must outlive it or
// the socket must be destroyed first. Destroying it with operations pending
// is safe: their completions find it detached and notify nobody.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "korvane/platform.hpp"

namespace korvane::platform {

class AsioTcpSocket final : public TcpSocket {
 public:
  AsioTcpSocket(asio::io_context& loop, SocketListener& listener);
  ~AsioTcpSocket() override;
  AsioTcpSocket(const AsioTcpSocket&) = delete;
  AsioTcpSocket& operator=(const AsioTcpSocket&) = delete;

  int32_t State() const override;
  // Closes an earlier connection first (without notification), then resolves
  // `remote_host` (a name or dotted address) and connects, bound to the local
  // port when one is set. Failure: state 9 and OnSocketError.
  void Connect(const std::string& remote_host, int32_t remote_port) override;
  // Throws ComponentError 40006 unless connected. A failing write: state 9
  // and OnSocketError.
  void SendData(std::vector<uint8_t> data) override;
  std::vector<uint8_t> GetData() override;
  // Queued behind the write in flight, and the write in flight itself.
  std::size_t QueuedOutput() const override;
  // State 0; unsent output and unread input are dropped; no notification.
  void Close() override;
  int32_t LocalPort() const override;
  // Throws ComponentError 380 for a port outside 0..65535.
  void LocalPort(int32_t port) override;
  std::string LocalIPAddress() const override;
  int32_t SocketHandle() const override;

 private:
  struct Link;
  std::shared_ptr<Link> link_;
};

}  // namespace korvane::platform
