// The sink SMSC of the end-to-end runs: one thread, plain non-blocking
// sockets and poll(), answering as fast as it can. It reads in large blocks,
// answers every whole PDU of a block into one output buffer and writes that
// buffer whenever the socket takes more. One client at a time; a new
// connection replaces the old one.
//
// Answers: bind_* -> its resp; submit_sm -> submit_sm_resp with an 8-digit
// message_id (none while silent); enquire_link -> enquire_link_resp, and in
// streaming mode it also starts the deliver_sm stream; unbind -> unbind_resp;
// deliver_sm_resp and other responses are counted, not answered.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane::bench {

class SinkSmsc {
 public:
  struct Setup {
    bool silent = false;           // submit_sm gets no answer
    std::size_t deliveries = 0;    // deliver_sm sent after an enquire_link
    std::vector<uint8_t> deliver;  // the deliver_sm sent, its sequence renumbered
  };

  SinkSmsc();
  ~SinkSmsc();
  SinkSmsc(const SinkSmsc&) = delete;
  SinkSmsc& operator=(const SinkSmsc&) = delete;

  uint16_t Port() const { return port_; }
  // Takes effect for the next connection; call it while no client is connected.
  void Prepare(Setup setup);
  // The sink thread's processor seconds so far.
  double CpuSeconds() const;
  std::size_t SubmitsReceived() const { return submits_.load(std::memory_order_relaxed); }
  std::size_t DeliveryResponses() const {
    return delivery_responses_.load(std::memory_order_relaxed);
  }

 private:
  struct Connection;
  void Run();
  void Serve(Connection& connection);
  void Answer(Connection& connection, const uint8_t* pdu);
  void RefillStream(Connection& connection);

  int listen_fd_ = -1;
  int wake_fds_[2] = {-1, -1};  // written by the destructor to end the thread
  uint16_t port_ = 0;

  std::mutex setup_mutex_;
  Setup pending_setup_;  // guarded by setup_mutex_; copied on each accept
  Setup setup_;          // sink thread only

  std::atomic<std::size_t> submits_{0};
  std::atomic<std::size_t> delivery_responses_{0};
  std::thread thread_;
};

}  // namespace korvane::bench
