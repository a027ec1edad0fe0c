// A small SMSC on a real loopback TCP socket for the integration tests. It
// serves on its own thread with its own asio::io_context, cuts what the client
// sends into whole PDUs by command_length, records them, and answers through
// a replaceable responder. Tests can also send raw octets and close or reset
// the connection. Everything public is thread-safe; the connection itself is
// only touched on the SMSC thread.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane::testing {

class LoopbackSmsc {
 public:
  using Octets = std::vector<uint8_t>;
  // Given one whole received PDU, the octet strings to send back, in order.
  using Responder = std::function<std::vector<Octets>(const Octets& pdu)>;

  // Listens on 127.0.0.1 on a port the system chooses. One client connection
  // at a time: a new connection closes and replaces the previous one.
  LoopbackSmsc();
  // Stops the thread and closes everything, even with a client connected.
  ~LoopbackSmsc();
  LoopbackSmsc(const LoopbackSmsc&) = delete;
  LoopbackSmsc& operator=(const LoopbackSmsc&) = delete;

  uint16_t Port() const { return port_; }

  // The default answers, also usable from a custom responder:
  //   bind_receiver/transmitter/transceiver -> their resp with command_status
  //     `bind_status` and body system_id "LOOPBACK\0";
  //   unbind -> unbind_resp; enquire_link -> enquire_link_resp (status 0);
  //   submit_sm / submit_multi -> their resp with message_id "MSG<sequence>"
  //     (and no_unsuccess 0);
  //   query_sm -> query_sm_resp with the queried message_id, an empty
  //     final_date, message_state 2 (delivered) and error_code 0;
  //   cancel_sm -> cancel_sm_resp; deliver_sm -> deliver_sm_resp with an
  //     empty message_id;
  //   any other request -> generic_nack, status 3 (invalid command id);
  //   a response, or fewer than 16 octets -> nothing.
  // Every answer carries the request's sequence_number.
  static std::vector<Octets> DefaultAnswer(const Octets& pdu, uint32_t bind_status);

  // Runs on the SMSC thread, which reads nothing more while it runs; an
  // empty responder restores DefaultAnswer.
  void SetResponder(Responder responder);
  // The receive buffer of connections accepted from now on, in octets (the
  // kernel may round it); 0 keeps the system's default, which grows on demand.
  // A small one makes a peer that stops reading (a responder that blocks)
  // push back sooner.
  void SetReceiveBufferSize(int octets) { receive_buffer_size_ = octets; }

  // Whether received PDUs are kept for Received() (default true). A long
  // run turns this off and counts in its responder instead.
  void SetRecording(bool recording) { recording_ = recording; }
  // Every PDU the client sent while recording, whole and in order, over all
  // connections.
  std::vector<Octets> Received() const;
  std::size_t ReceivedCount() const;  // Received().size(), without the copy

  // Actions on the current connection, run on the SMSC thread in call order
  // and in order with the answers; without a connection they do nothing.
  // After Close or Reset the connection records and answers nothing more.
  // Raw octets, written whole.
  void Send(Octets o) {
    asio::post(io_, [this, o = std::move(o)] { Write(current_, o); });
  }
  // Orderly: FIN once the queued octets are written.
  void Close() {
    asio::post(io_, [this] { End(current_, false); });
  }
  // Abortive: RST once the queued octets are written.
  void Reset() {
    asio::post(io_, [this] { End(current_, true); });
  }

 private:
  struct Connection;
  using ConnectionPtr = std::shared_ptr<Connection>;

  void Accept();
  void Read(const ConnectionPtr& connection);
  void Write(const ConnectionPtr& connection, const Octets& octets);
  void End(ConnectionPtr connection, bool reset);

  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  uint16_t port_ = 0;
  ConnectionPtr current_;  // SMSC thread only

  std::atomic<int> receive_buffer_size_ = 0;
  std::atomic<bool> recording_ = true;
  mutable std::mutex mutex_;  // guards the two below
  Responder responder_;
  std::vector<Octets> received_;

  std::thread thread_;  // started last, joined first
};

// A test PDU: 16-octet header with command_length computed, then `body`.
std::vector<uint8_t> MakePdu(uint32_t command_id, uint32_t command_status, uint32_t sequence_number,
                             const std::vector<uint8_t>& body = {});

// The header fields of a PDU, or 0 when it is shorter than 16 octets.
uint32_t CommandIdOf(const std::vector<uint8_t>& pdu);
uint32_t SequenceNumberOf(const std::vector<uint8_t>& pdu);

}  // namespace korvane::testing
