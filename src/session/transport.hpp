// Transport: the session's TCP connection to the SMSC. It connects with a
// bounded wait, sends each PDU as one write, cuts the received stream into
// whole PDUs and turns closure and socket errors into session events. Whole
// PDUs are queued on the session and handed up through the received-PDUs
// handler, which the layer above installs. Socket notifications arrive on
// the loop thread, also while a wait of the same session yields, so every
// handler may run nested.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "korvane/platform.hpp"
#include "session/pdu_framer.hpp"

namespace korvane::session {

class Session;

class Transport final : public platform::SocketListener {
 public:
  explicit Transport(Session& session);
  ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  platform::TcpSocket& socket() { return *socket_; }
  // Called after each arrival that queued PDUs on the session (and after
  // one that broke the stream), to handle the queue. Without a handler the
  // PDUs stay queued.
  void OnPdusReceived(std::function<void()> handler) { on_pdus_received_ = std::move(handler); }
  bool Connected() const { return socket_->State() == platform::kSocketConnected; }

  // Connects to the configured SMSC, unbinding and closing an earlier
  // connection first, and yields until the socket is connected, fails, or
  // ConnectionTimeout passes. True when connected; otherwise the socket is
  // closed again. A refusal reaches the host only as the socket's own error.
  bool InitTxRx();

  // Hands one PDU to the socket, whole. Without a connection raises Error
  // 29983 and sends nothing. True when the socket took it.
  bool wsSendData(std::vector<uint8_t> pdu);

  // Whether a PDU of `octets` fits under MaxOutputBytes: the octets not yet
  // taken by the system and it together at most the cap. An empty queue
  // always takes one PDU.
  bool HasRoomFor(std::size_t octets) const;
  // Error 29985: a request refused because the output queue is full.
  void ReportOutputFull();

  // A connect started elsewhere (the automatic rebind) succeeded: errors
  // now end the connection as lost.
  void Established() { established_ = true; }

  // The link is dead (no answer to enquire_link in time): hands an unbind
  // to the socket when it can still take one, without waiting for the
  // answer, then closes and reports the loss as a peer's close would be.
  void DropDeadLink();

  // Ends the connection from this side, dropping unsent and pending octets
  // and the received PDUs not yet handled.
  void CloseSocket();

  void OnSocketClose() override;
  void OnSocketDataArrival(std::size_t bytes_waiting) override;
  void OnSocketError(int32_t number, const std::string& description) override;

 private:
  // The connection is gone: the session is no longer bound, and the host
  // hears ConnectionClosed.
  void ConnectionLost(bool reset_bind_result);
  // The connection is lost: the reconnector hears of it first (while the
  // bind state still shows whether it was bound), then it is closed when
  // `close`, then ConnectionLost.
  void Lose(bool reset_bind_result, bool close);
  void ReportFramingError(uint32_t command_length);

  Session& session_;
  std::unique_ptr<platform::TcpSocket> socket_;
  PduFramer framer_;
  std::function<void()> on_pdus_received_;
  bool established_ = false;  // connected by InitTxRx and not ended since
  uint64_t closes_ = 0;       // counts CloseSocket: tells whether a handler reconnected
  bool discarding_ = false;   // the stream broke; arrivals are dropped until it is closed
};

}  // namespace korvane::session
