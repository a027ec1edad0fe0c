// Listening sockets on 127.0.0.1 that never accept, for connect tests.
//
// Linux completes the TCP handshake of a listening socket on its own as long
// as the accept queue has room, whether or not anyone calls accept. So:
//   - HandshakingListener: the handshake completes, nothing is ever read or
//     answered; a client's connect succeeds and its requests go unanswered.
//   - FullBacklogListener: listens with a backlog of 0 and fills the accept
//     queue with connections of its own until one stays pending. From then
//     on the kernel drops every SYN to that port (a full queue drops SYNs
//     without answering, net.ipv4.tcp_abort_on_overflow being 0 by default),
//     so a client's connect neither succeeds nor fails: it retransmits SYNs
//     until the client gives up.
// Both are plain POSIX sockets, closed on destruction.
#pragma once

#include <cstdint>
#include <vector>

namespace korvane::testing {

class HandshakingListener {
 public:
  explicit HandshakingListener(int backlog = 16);
  ~HandshakingListener();
  HandshakingListener(const HandshakingListener&) = delete;
  HandshakingListener& operator=(const HandshakingListener&) = delete;

  uint16_t Port() const { return port_; }

 protected:
  int listener_ = -1;
  uint16_t port_ = 0;
};

class FullBacklogListener : public HandshakingListener {
 public:
  FullBacklogListener();
  ~FullBacklogListener();

  // Whether a filler connection stayed pending, which proves the queue full.
  bool Full() const { return full_; }

 private:
  std::vector<int> fillers_;
  bool full_ = false;
};

}  // namespace korvane::testing
