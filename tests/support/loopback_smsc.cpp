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

// One accepted client. kShutDown: our FIN is sent and we drain (and discard)
// what the client still sends, so that closing never turns into an RST.
struct LoopbackSmsc::Connection {
  enum class State { kOpen, kShutDown, kClosed };
  struct Step {
    StepKind kind;
    Octets octets;
  };

  explicit Connection(tcp::socket accepted) : socket(std::move(accepted)) {}

  tcp::socket socket;
  std::array<uint8_t, 4096> chunk{};
  Octets pending;             // received octets not yet framed into a whole PDU
  std::deque<Step> outgoing;  // the front write is the one in flight
  bool writing = false;
  bool read_parked = false;  // reading is paused and no read is outstanding
  bool ending = false;       // closing or reset: record and answer nothing more
  State state = State::kOpen;
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
    if (current_) Enqueue(current_, StepKind::kWrite, std::move(octets));
  });
}

void LoopbackSmsc::Close() { PostEnding(StepKind::kClose); }

void LoopbackSmsc::Reset() { PostEnding(StepKind::kReset); }

void LoopbackSmsc::PostEnding(StepKind kind) {
  asio::post(io_, [this, kind] {
    if (!current_) return;
    current_->ending = true;
    Enqueue(current_, kind);
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
  const ConnectionPtr previous =
      std::exchange(current_, std::make_shared<Connection>(std::move(socket)));
  {
    std::lock_guard lock(mutex_);
    if (receive_buffer_size_ > 0) {
      current_->socket.set_option(asio::socket_base::receive_buffer_size(receive_buffer_size_),
                                  ignored);
    }
  }
  if (previous) Dispose(previous);
  Read(current_);
}

void LoopbackSmsc::Read(const ConnectionPtr& connection) {
  if (connection->state == Connection::State::kClosed) return;
  if (reading_paused_) {
    connection->read_parked = true;
    return;
  }
  connection->socket.async_read_some(
      asio::buffer(connection->chunk),
      [this, connection](const std::error_code& error, std::size_t size) {
        OnRead(connection, error, size);
      });
}

void LoopbackSmsc::OnRead(const ConnectionPtr& connection, const std::error_code& error,
                          std::size_t size) {
  if (error) {  // the client closed, or the link failed: close our side too
    Dispose(connection);
    return;
  }
  if (!connection->ending) {
    const std::size_t taken = std::min(size, connection->chunk.size());
    connection->pending.insert(connection->pending.end(), connection->chunk.begin(),
                               connection->chunk.begin() + taken);
    Frame(connection);
  }
  Read(connection);
}

// Cuts whole PDUs off the front of `pending`. A command_length out of range
// leaves no way to find the next PDU, so the connection is closed.
void LoopbackSmsc::Frame(const ConnectionPtr& connection) {
  Octets& pending = connection->pending;
  std::size_t offset = 0;
  while (!connection->ending && pending.size() - offset >= 4) {
    const uint32_t length = ReadUint32(pending, offset);
    if (length < kHeaderLength || length > kMaxPduLength) {
      connection->ending = true;
      Enqueue(connection, StepKind::kClose);
      break;
    }
    if (pending.size() - offset < length) break;
    const Octets pdu(pending.begin() + offset, pending.begin() + offset + length);
    offset += length;
    Answer(connection, pdu);
  }
  if (connection->ending) {
    pending.clear();
  } else {
    pending.erase(pending.begin(), pending.begin() + offset);
  }
}

void LoopbackSmsc::Answer(const ConnectionPtr& connection, const Octets& pdu) {
  Responder responder;
  {
    std::lock_guard lock(mutex_);
    if (recording_) received_.push_back(pdu);
    responder = responder_;
  }
  // Called outside the lock, so a responder may use the public interface.
  std::vector<Octets> answers = responder ? responder(pdu) : DefaultAnswer(pdu, 0);
  for (Octets& answer : answers) Enqueue(connection, StepKind::kWrite, std::move(answer));
}

void LoopbackSmsc::Enqueue(const ConnectionPtr& connection, StepKind kind, Octets octets) {
  if (connection->state != Connection::State::kOpen) return;
  connection->outgoing.push_back({kind, std::move(octets)});
  WriteNext(connection);
}

// Runs the queued steps in order, with at most one write in flight. A close
// or reset ends the connection, and with it every step queued after it.
void LoopbackSmsc::WriteNext(const ConnectionPtr& connection) {
  if (connection->writing || connection->state != Connection::State::kOpen ||
      connection->outgoing.empty()) {
    return;
  }
  Connection::Step& step = connection->outgoing.front();
  switch (step.kind) {
    case StepKind::kWrite:
      connection->writing = true;
      // The deque keeps the front element in place while more are pushed.
      asio::async_write(connection->socket, asio::buffer(step.octets),
                        [this, connection](const std::error_code& error, std::size_t) {
                          connection->writing = false;
                          if (error) {
                            Dispose(connection);
                            return;
                          }
                          if (!connection->outgoing.empty()) connection->outgoing.pop_front();
                          WriteNext(connection);
                        });
      return;
    case StepKind::kClose:
      ShutDown(connection);
      return;
    case StepKind::kReset: {
      std::error_code ignored;
      connection->socket.set_option(asio::socket_base::linger(true, 0), ignored);
      Dispose(connection);
      return;
    }
  }
}

void LoopbackSmsc::ShutDown(const ConnectionPtr& connection) {
  std::error_code ignored;
  connection->socket.shutdown(tcp::socket::shutdown_send, ignored);
  connection->state = Connection::State::kShutDown;
  Forget(connection);
}

void LoopbackSmsc::Dispose(const ConnectionPtr& connection) {
  if (connection->state == Connection::State::kClosed) return;
  std::error_code ignored;
  connection->socket.close(ignored);
  // The queue stays: a write in flight still refers to its front element.
  connection->state = Connection::State::kClosed;
  Forget(connection);
}

// The connection is no longer the one tests act on.
void LoopbackSmsc::Forget(const ConnectionPtr& connection) {
  if (connection != current_) return;
  current_.reset();
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
