// Session: one ESME connection of the simulator. It cuts the received stream
// into PDUs by command_length (16 to 262144 octets, anything else closes the
// connection after a generic_nack), answers each request, and writes what
// it sends through a queue with one write in flight. The faults asked for
// (fault_plan.hpp) change answers, withhold them, or close the connection. A body that cannot be
// read is reported, answered with a generic_nack, and closes the connection.
// Lives on the engine's loop, owned by the engine and by its pending
// handlers.
#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "smsc/fault_plan.hpp"
#include "smsc/pdus.hpp"
#include "smsc/response_delay.hpp"
#include "vocabulary/pdu_reader.hpp"

namespace korvane::smsc {

class SmscEngine;

enum class BindKind { kNone, kTransmitter, kReceiver, kTransceiver };

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(SmscEngine& engine, asio::ip::tcp::socket socket, int number);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void Start();
  // Logs `pdu` and queues it for writing (behind the responses still
  // delayed, if any); nothing once closed.
  void Send(Octets pdu);
  // A response to the ESME's request: sent at once, or after the added
  // latency; `last` keeps it behind every response still waiting.
  void Respond(Octets pdu, bool last = false);
  // The sequence_number of the next request the simulator sends (1, 2, ...).
  uint32_t NextSequence();
  void Close(const std::string& reason);

  int Number() const { return number_; }
  BindKind Bound() const { return bound_; }
  const std::string& SystemId() const { return system_id_; }
  bool CanReceive() const {
    return bound_ == BindKind::kReceiver || bound_ == BindKind::kTransceiver;
  }

 private:
  void ReadHeader();
  void OnHeader(const std::error_code& error);
  void OnBody(const std::error_code& error);
  void Handle();
  void Dispatch(const vocabulary::PduHeader& header);
  void OnBind(const vocabulary::PduHeader& header, BindKind kind);
  void OnSubmit(const vocabulary::PduHeader& header, bool multi);
  void OnQuery(const vocabulary::PduHeader& header);
  void OnCancel(const vocabulary::PduHeader& header);
  void OnUnbind(const vocabulary::PduHeader& header);
  void OnDeliverSm(const vocabulary::PduHeader& header);
  void Write(Octets pdu);
  void WriteNext();
  void ArmResponses();
  void SendDueResponses();
  void CloseAfterWrites(const std::string& reason);
  // A fault closes the connection without an unbind: nothing more is read,
  // the answers made so far go out first.
  void Disconnect(const std::string& reason);
  void ArmDisconnect(DelayedResponses::Clock::time_point due);
  void ArmEnquireLink();
  // The PDU's line, and its hex dump when tracing.
  void LogPdu(std::string_view direction, const Octets& pdu) const;
  void Log(const std::string& line) const;
  void Report(const std::string& line) const;
  // "#N line": the line with this connection's number.
  std::string Numbered(const std::string& line) const;

  SmscEngine& engine_;
  asio::ip::tcp::socket socket_;
  asio::steady_timer enquire_timer_;
  const int number_;
  std::array<uint8_t, kMinCommandLength> header_{};
  Octets pdu_;  // the PDU being read, header included
  std::deque<Octets> writes_;
  DelayedResponses delayed_;
  asio::steady_timer response_timer_;
  std::optional<DelayedResponses::Clock::time_point> response_timer_due_;
  SessionFaults faults_;
  asio::steady_timer disconnect_timer_;
  bool withhold_answer_ = false;  // the request being served goes unanswered
  BindKind bound_ = BindKind::kNone;
  std::string system_id_;
  uint32_t last_sequence_ = 0;
  bool unbound_ = false;  // answered an unbind
  bool closing_ = false;  // closes once the queued writes are done
  bool closed_ = false;
  std::string closing_reason_;
};

}  // namespace korvane::smsc
