#include "support/loopback_smsc.hpp"

#include <algorithm>
#include <array>
#include <asio/socket_base.hpp>
#include <asio/write.hpp>
#include <string>
#include <utility>

namespace korvane::testing {
namespace {

using asio::ip::tcp;

constexpr std::size_t kHeaderLength = 16;
constexpr uint32_t kResponseBit = 0x80000000;

// The big-endian header field at `offset`, or 0 when there is no whole header.
uint32_t HeaderField(const std::vector<uint8_t>& pdu, std::size_t at) {
  if (pdu.size() < kHeaderLength) return 0;
  return uint32_t{pdu[at]} << 24 | pdu[at + 1] << 16 | pdu[at + 2] << 8 | pdu[at + 3];
}

}  // namespace

// One accepted client. Once `ended` (closed or reset by the test) nothing
// more is recorded or answered; after a FIN what the client still sends is
// drained, so that closing never turns into an RST.
struct LoopbackSmsc::Connection {
  explicit Connection(tcp::socket accepted) : socket(std::move(accepted)) {}

  tcp::socket socket;
  std::array<uint8_t, 4096> chunk{};
  Octets pending;  // received octets not yet framed into a whole PDU
  bool ended = false;
};

LoopbackSmsc::LoopbackSmsc()
    : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
  port_ = acceptor_.local_endpoint().port();
  Accept();
  thread_ = std::thread([this] { io_.run(); });
}

// The sockets close as the members go.
LoopbackSmsc::~LoopbackSmsc() {
  io_.stop();
  thread_.join();
}

std::vector<LoopbackSmsc::Octets> LoopbackSmsc::DefaultAnswer(const Octets& pdu,
                                                              uint32_t bind_status) {
  const uint32_t id = CommandIdOf(pdu), sequence = SequenceNumberOf(pdu);
  if (pdu.size() < kHeaderLength || (id & kResponseBit) != 0) return {};
  if (id == 0x01 || id == 0x02 || id == 0x09)  // the binds
    return {MakePdu(id | kResponseBit, bind_status, sequence,
                    {'L', 'O', 'O', 'P', 'B', 'A', 'C', 'K', 0})};
  // The message id, and for submit_multi no_unsuccess 0.
  const std::string message_id =
      "MSG" + std::to_string(sequence) + std::string(id == 0x21 ? 2 : 1, 0);
  Octets body;
  if (id == 0x04 || id == 0x21) body.assign(message_id.begin(), message_id.end());
  if (id == 0x03) {  // query_sm: the queried id, no final_date, state delivered, error_code 0
    body.assign(pdu.begin() + kHeaderLength, std::find(pdu.begin() + kHeaderLength, pdu.end(), 0));
    body.insert(body.end(), {0, 0, 2, 0});
  }
  if (id == 0x05) body = {0};  // deliver_sm
  // Any other request but unbind, enquire_link and cancel_sm: generic_nack,
  // invalid command id.
  if (body.empty() && id != 0x06 && id != 0x15 && id != 0x08)
    return {MakePdu(kResponseBit, 3, sequence)};
  return {MakePdu(id | kResponseBit, 0, sequence, body)};
}

void LoopbackSmsc::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

std::vector<LoopbackSmsc::Octets> LoopbackSmsc::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::size_t LoopbackSmsc::ReceivedCount() const {
  std::lock_guard lock(mutex_);
  return received_.size();
}

// A new connection replaces the current one.
void LoopbackSmsc::Accept() {
  acceptor_.async_accept([this](const std::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!error) {
      std::error_code ignored;
      socket.set_option(tcp::no_delay(true), ignored);  // small PDUs leave at once
      if (receive_buffer_size_ > 0)
        socket.set_option(asio::socket_base::receive_buffer_size(receive_buffer_size_), ignored);
      if (current_) current_->socket.close(ignored);
      current_ = std::make_shared<Connection>(std::move(socket));
      Read(current_);
    }
    Accept();
  });
}

// Cuts whole PDUs off the front of what arrived and answers each. A
// command_length below 16 leaves no way to find the next PDU, so the
// connection is closed.
void LoopbackSmsc::Read(const ConnectionPtr& connection) {
  connection->socket.async_read_some(
      asio::buffer(connection->chunk),
      [this, connection](const std::error_code& error, std::size_t size) {
        if (error) {  // the client closed, or the link failed: the socket closes with it
          if (connection == current_) current_.reset();
          return;
        }
        Octets& pending = connection->pending;
        if (!connection->ended)
          pending.insert(pending.end(), connection->chunk.begin(),
                         connection->chunk.begin() + size);
        while (!connection->ended && pending.size() >= kHeaderLength) {
          const uint32_t length = HeaderField(pending, 0);
          if (length < kHeaderLength) {
            End(connection, false);
            break;
          }
          if (pending.size() < length) break;
          const Octets pdu(pending.begin(), pending.begin() + length);
          pending.erase(pending.begin(), pending.begin() + length);
          Responder responder;
          {
            std::lock_guard lock(mutex_);
            if (recording_) received_.push_back(pdu);
            responder = responder_;
          }
          // Called outside the lock, so a responder may use the public interface.
          for (const Octets& answer : responder ? responder(pdu) : DefaultAnswer(pdu, 0))
            Write(connection, answer);
        }
        Read(connection);
      });
}

// Written whole before anything else happens on the SMSC thread, so the
// answers, sent octets, closes and resets leave in the order they were made.
void LoopbackSmsc::Write(const ConnectionPtr& connection, const Octets& octets) {
  std::error_code error;
  if (connection && !connection->ended && connection->socket.is_open())
    asio::write(connection->socket, asio::buffer(octets), error);
}

void LoopbackSmsc::End(ConnectionPtr connection, bool reset) {  // by value: it resets current_
  if (!connection || connection->ended) return;
  std::error_code ignored;
  connection->ended = true;
  if (reset) connection->socket.set_option(asio::socket_base::linger(true, 0), ignored);
  reset ? connection->socket.close(ignored)
        : connection->socket.shutdown(tcp::socket::shutdown_send, ignored);
  if (connection == current_) current_.reset();  // no longer the one tests act on
}

std::vector<uint8_t> MakePdu(uint32_t command_id, uint32_t command_status, uint32_t sequence_number,
                             const std::vector<uint8_t>& body) {
  std::vector<uint8_t> pdu;
  for (const uint32_t field : {static_cast<uint32_t>(kHeaderLength + body.size()), command_id,
                               command_status, sequence_number})
    for (int shift = 24; shift >= 0; shift -= 8)
      pdu.push_back(static_cast<uint8_t>(field >> shift));
  pdu.insert(pdu.end(), body.begin(), body.end());
  return pdu;
}

uint32_t CommandIdOf(const std::vector<uint8_t>& pdu) { return HeaderField(pdu, 4); }

uint32_t SequenceNumberOf(const std::vector<uint8_t>& pdu) { return HeaderField(pdu, 12); }

}  // namespace korvane::testing
