#include "support/loopback_smsc.hpp"

#include <algorithm>
#include <array>
#include <asio/post.hpp>
#include <asio/socket_base.hpp>
#include <asio/write.hpp>
#include <deque>
#include <string>
#include <utility>

namespace korvane::testing {
namespace {

using asio::ip::tcp;

constexpr std::size_t kHeaderLength = 16;
constexpr uint32_t kMaxPduLength = 1024 * 1024;
constexpr uint32_t kResponseBit = 0x80000000;
constexpr uint32_t kGenericNack = 0x80000000;
constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kBindTransmitter = 0x00000002;
constexpr uint32_t kUnbind = 0x00000006;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kEnquireLink = 0x00000015;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kSubmitMulti = 0x00000021;
constexpr uint32_t kQuerySm = 0x00000003;
constexpr uint32_t kCancelSm = 0x00000008;
constexpr uint32_t kDeliverSm = 0x00000005;
constexpr uint8_t kStateDelivered = 2;
constexpr uint32_t kInvalidCommandId = 0x00000003;

// Big-endian 4 octets at `offset`; the caller has checked the bounds.
uint32_t ReadUint32(const std::vector<uint8_t>& octets, std::size_t offset) {
  return static_cast<uint32_t>(octets[offset]) << 24 |
         static_cast<uint32_t>(octets[offset + 1]) << 16 |
         static_cast<uint32_t>(octets[offset + 2]) << 8 | static_cast<uint32_t>(octets[offset + 3]);
}

void AppendUint32(std::vector<uint8_t>& octets, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    octets.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

// One accepted client. `end`: a close (FIN) or reset (RST) is due once the
// queued writes are done; from then on nothing is recorded or answered, and
// after a FIN what the client still sends is drained so that closing never
// turns into an RST.
struct LoopbackSmsc::Connection {
  explicit Connection(tcp::socket accepted) : socket(std::move(accepted)) {}

  tcp::socket socket;
  std::array<uint8_t, 4096> chunk{};
  Octets pending;               // received octets not yet framed into a whole PDU
  std::deque<Octets> outgoing;  // the front write is the one in flight
  bool writing = false;
  bool read_parked = false;  // reading is paused and no read is outstanding
  bool closed = false;
  EndKind end = EndKind::kNone;
};

LoopbackSmsc::LoopbackSmsc()
    : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
  port_ = acceptor_.local_endpoint().port();
  Accept();
  thread_ = std::thread([this] { io_.run(); });
}

LoopbackSmsc::~LoopbackSmsc() {
  io_.stop();
  thread_.join();
  // The SMSC thread is gone, so its objects may be touched here.
  std::error_code ignored;
  acceptor_.close(ignored);
  if (current_) current_->socket.close(ignored);
}

std::vector<LoopbackSmsc::Octets> LoopbackSmsc::DefaultAnswer(const Octets& pdu,
                                                              uint32_t bind_status) {
  if (pdu.size() < kHeaderLength) return {};
  const uint32_t command_id = ReadUint32(pdu, 4);
  const uint32_t sequence = ReadUint32(pdu, 12);
  switch (command_id) {
    case kBindReceiver:
    case kBindTransmitter:
    case kBindTransceiver:
      return {MakePdu(command_id | kResponseBit, bind_status, sequence,
                      {'L', 'O', 'O', 'P', 'B', 'A', 'C', 'K', 0})};
    case kUnbind:
    case kEnquireLink:
      return {MakePdu(command_id | kResponseBit, 0, sequence)};
    case kSubmitSm:
    case kSubmitMulti: {
      const std::string id = "MSG" + std::to_string(sequence);
      Octets body(id.begin(), id.end());
      body.push_back(0);
      if (command_id == kSubmitMulti) body.push_back(0);  // no_unsuccess
      return {MakePdu(command_id | kResponseBit, 0, sequence, body)};
    }
    case kQuerySm: {
      // The queried id, no final_date, state delivered, error_code 0.
      Octets body(pdu.begin() + kHeaderLength, pdu.end());
      body.resize(std::find(body.begin(), body.end(), 0) - body.begin());
      body.insert(body.end(), {0, 0, kStateDelivered, 0});
      return {MakePdu(command_id | kResponseBit, 0, sequence, body)};
    }
    case kCancelSm:
      return {MakePdu(command_id | kResponseBit, 0, sequence)};
    case kDeliverSm:
      return {MakePdu(command_id | kResponseBit, 0, sequence, {0})};
    default:
      if (command_id & kResponseBit) return {};
      return {MakePdu(kGenericNack, kInvalidCommandId, sequence)};
  }
}

void LoopbackSmsc::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

void LoopbackSmsc::SetReceiveBufferSize(int octets) {
  std::lock_guard lock(mutex_);
  receive_buffer_size_ = octets;
}

void LoopbackSmsc::SetRecording(bool recording) {
  std::lock_guard lock(mutex_);
  recording_ = recording;
}

void LoopbackSmsc::PauseReading() {
  asio::post(io_, [this] { reading_paused_ = true; });
}

void LoopbackSmsc::ResumeReading() {
  asio::post(io_, [this] {
    reading_paused_ = false;
    if (current_ && current_->read_parked) {
      current_->read_parked = false;
      Read(current_);
    }
  });
}

std::vector<LoopbackSmsc::Octets> LoopbackSmsc::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::size_t LoopbackSmsc::ReceivedCount() const {
  std::lock_guard lock(mutex_);
  return received_.size();
}

void LoopbackSmsc::Send(Octets octets) {
  asio::post(io_, [this, octets = std::move(octets)]() mutable {
    if (current_) Enqueue(current_, std::move(octets));
  });
}

void LoopbackSmsc::Close() {
  asio::post(io_, [this] {
    if (current_) End(current_, EndKind::kClose);
  });
}

void LoopbackSmsc::Reset() {
  asio::post(io_, [this] {
    if (current_) End(current_, EndKind::kReset);
  });
}

void LoopbackSmsc::Accept() {
  acceptor_.async_accept([this](const std::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!error) OnAccepted(std::move(socket));
    Accept();
  });
}

// A new connection replaces the current one.
void LoopbackSmsc::OnAccepted(tcp::socket socket) {
  std::error_code ignored;
  socket.set_option(tcp::no_delay(true), ignored);  // small PDUs leave at once
  {
    std::lock_guard lock(mutex_);
    if (receive_buffer_size_ > 0)
      socket.set_option(asio::socket_base::receive_buffer_size(receive_buffer_size_), ignored);
  }
  if (current_) Dispose(current_);
  current_ = std::make_shared<Connection>(std::move(socket));
  Read(current_);
}

void LoopbackSmsc::Read(const ConnectionPtr& connection) {
  if (connection->closed) return;
  if (reading_paused_) {
    connection->read_parked = true;
    return;
  }
  connection->socket.async_read_some(
      asio::buffer(connection->chunk),
      [this, connection](const std::error_code& error, std::size_t size) {
        if (error) return Dispose(connection);  // the client closed, or the link failed
        if (connection->end == EndKind::kNone) {
          connection->pending.insert(connection->pending.end(), connection->chunk.begin(),
                                     connection->chunk.begin() + size);
          Frame(connection);
        }
        Read(connection);
      });
}

// Cuts whole PDUs off the front of `pending`. A command_length out of range
// leaves no way to find the next PDU, so the connection is closed.
void LoopbackSmsc::Frame(const ConnectionPtr& connection) {
  Octets& pending = connection->pending;
  std::size_t offset = 0;
  while (connection->end == EndKind::kNone && pending.size() - offset >= 4) {
    const uint32_t length = ReadUint32(pending, offset);
    if (length < kHeaderLength || length > kMaxPduLength) {
      End(connection, EndKind::kClose);
      break;
    }
    if (pending.size() - offset < length) break;
    const Octets pdu(pending.begin() + offset, pending.begin() + offset + length);
    offset += length;
    Answer(connection, pdu);
  }
  pending.erase(pending.begin(),
                connection->end == EndKind::kNone ? pending.begin() + offset : pending.end());
}

void LoopbackSmsc::Answer(const ConnectionPtr& connection, const Octets& pdu) {
  Responder responder;
  {
    std::lock_guard lock(mutex_);
    if (recording_) received_.push_back(pdu);
    responder = responder_;
  }
  // Called outside the lock, so a responder may use the public interface.
  for (Octets& answer : responder ? responder(pdu) : DefaultAnswer(pdu, 0))
    Enqueue(connection, std::move(answer));
}

void LoopbackSmsc::Enqueue(const ConnectionPtr& connection, Octets octets) {
  if (connection->end != EndKind::kNone || connection->closed) return;
  connection->outgoing.push_back(std::move(octets));
  WriteNext(connection);
}

void LoopbackSmsc::End(ConnectionPtr connection, EndKind kind) {
  if (connection->end != EndKind::kNone) return;
  connection->end = kind;
  if (connection == current_) current_.reset();  // no longer the one tests act on
  WriteNext(connection);
}

// Writes the queue in order, one write in flight; then the due close or reset.
void LoopbackSmsc::WriteNext(const ConnectionPtr& connection) {
  if (connection->writing || connection->closed) return;
  std::error_code ignored;
  if (!connection->outgoing.empty()) {
    connection->writing = true;
    // The deque keeps the front element in place while more are pushed.
    asio::async_write(connection->socket, asio::buffer(connection->outgoing.front()),
                      [this, connection](const std::error_code& error, std::size_t) {
                        connection->writing = false;
                        if (error) return Dispose(connection);
                        connection->outgoing.pop_front();
                        WriteNext(connection);
                      });
  } else if (connection->end == EndKind::kClose) {
    connection->socket.shutdown(tcp::socket::shutdown_send, ignored);
  } else if (connection->end == EndKind::kReset) {
    connection->socket.set_option(asio::socket_base::linger(true, 0), ignored);
    Dispose(connection);
  }
}

void LoopbackSmsc::Dispose(ConnectionPtr connection) {
  if (connection->closed) return;
  std::error_code ignored;
  connection->socket.close(ignored);
  // The queue stays: a write in flight still refers to its front element.
  connection->closed = true;
  if (connection == current_) current_.reset();
}

std::vector<uint8_t> MakePdu(uint32_t command_id, uint32_t command_status, uint32_t sequence_number,
                             const std::vector<uint8_t>& body) {
  std::vector<uint8_t> pdu;
  pdu.reserve(kHeaderLength + body.size());
  AppendUint32(pdu, static_cast<uint32_t>(kHeaderLength + body.size()));
  AppendUint32(pdu, command_id);
  AppendUint32(pdu, command_status);
  AppendUint32(pdu, sequence_number);
  pdu.insert(pdu.end(), body.begin(), body.end());
  return pdu;
}

uint32_t CommandIdOf(const std::vector<uint8_t>& pdu) {
  return pdu.size() < kHeaderLength ? 0 : ReadUint32(pdu, 4);
}

uint32_t SequenceNumberOf(const std::vector<uint8_t>& pdu) {
  return pdu.size() < kHeaderLength ? 0 : ReadUint32(pdu, 12);
}

}  // namespace korvane::testing
