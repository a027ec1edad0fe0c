#include "support/unaccepting_listener.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace korvane::testing {
namespace {

// How long a filler's handshake may take before it counts as pending. On
// loopback a handshake that the kernel answers completes at once.
constexpr int kPendingAfterMilliseconds = 100;
constexpr int kMaxFillers = 8;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

enum class Filler { kConnected, kPending, kFailed };

// Starts a non-blocking connect to `port` and waits briefly for it; the
// socket is kept in `fd` whatever the outcome.
Filler ConnectFiller(uint16_t port, int& fd) {
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  if (fd < 0) return Filler::kFailed;
  const sockaddr_in address = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return Filler::kConnected;
  if (errno != EINPROGRESS) return Filler::kFailed;
  pollfd wait{fd, POLLOUT, 0};
  if (::poll(&wait, 1, kPendingAfterMilliseconds) == 0) return Filler::kPending;
  int error = 0;
  socklen_t size = sizeof error;
  const bool connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  return connected ? Filler::kConnected : Filler::kFailed;
}

}  // namespace

HandshakingListener::HandshakingListener(int backlog) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, backlog) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return;  // Port() stays 0, which tests check
  }
  port_ = ntohs(address.sin_port);
}

HandshakingListener::~HandshakingListener() {
  if (listener_ >= 0) ::close(listener_);
}

FullBacklogListener::FullBacklogListener() : HandshakingListener(0) {
  if (port_ == 0) return;
  for (int count = 0; count < kMaxFillers; ++count) {
    int fd = -1;
    const Filler filler = ConnectFiller(port_, fd);
    if (fd >= 0) fillers_.push_back(fd);
    if (filler != Filler::kConnected) {
      full_ = filler == Filler::kPending;
      return;
    }
  }
}

FullBacklogListener::~FullBacklogListener() {
  for (const int fd : fillers_) ::close(fd);
}

}  // namespace korvane::testing
