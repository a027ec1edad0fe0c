#include "platform/asio_tcp_socket.hpp"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <deque>
#include <utility>

#include "platform/socket_errors.hpp"

namespace korvane::platform {
namespace {

using Tcp = asio::ip::tcp;

constexpr std::size_t kReadChunk = 64 * 1024;
// Octets queued behind a write in flight are packed into blocks of this size.
constexpr std::size_t kOutputBlock = 64 * 1024;
constexpr int32_t kMaxPort = 65535;

bool Aborted(const std::error_code& error) { return error == asio::error::operation_aborted; }

}  // namespace

// The connection state that completion handlers share. Each handler carries
// the generation it was started in; Close, a new Connect, a failure and the
// socket's destruction start a new generation, so completions of what was
// ended are dropped instead of reported.
struct AsioTcpSocket::Link : std::enable_shared_from_this<Link> {
  Link(asio::io_context& loop, SocketListener& owner)
      : resolver(loop), socket(loop), listener(&owner), read_buffer(kReadChunk) {}

  void Shut() {
    ++generation;
    resolver.cancel();
    std::error_code ignored;
    socket.close(ignored);
    output.clear();
    queued_octets = 0;
    writing = false;
  }

  void Start(const std::string& host, int32_t port) {
    state = kSocketResolvingHost;
    if (port < 0 || port > kMaxPort) {
      asio::post(socket.get_executor(), [self = shared_from_this(), started = generation] {
        if (started == self->generation) self->Fail(asio::error::invalid_argument);
      });
      return;
    }
    // No address-configured filter: a machine with only the loopback
    // interface must still resolve "localhost".
    resolver.async_resolve(host, std::to_string(port), Tcp::resolver::flags(),
                           [self = shared_from_this(), started = generation](
                               const std::error_code& error, Tcp::resolver::results_type results) {
                             if (started != self->generation || Aborted(error)) return;
                             if (error) return self->Fail(error);
                             std::vector<Tcp::endpoint> endpoints;
                             for (const auto& entry : results)
                               endpoints.push_back(entry.endpoint());
                             self->state = kSocketConnecting;
                             self->ConnectTo(std::move(endpoints), 0, asio::error::host_not_found);
                           });
  }

  // Tries the resolved endpoints in order; `last_error` is reported when none
  // is left.
  void ConnectTo(std::vector<Tcp::endpoint> endpoints, std::size_t index,
                 std::error_code last_error) {
    for (; index < endpoints.size(); ++index) {
      const Tcp::endpoint target = endpoints[index];
      std::error_code error;
      socket.close(error);
      socket.open(target.protocol(), error);
      if (!error && bind_port != 0) {
        // A fixed port is reused at once after a close, despite TIME_WAIT.
        socket.set_option(Tcp::socket::reuse_address(true), error);
        if (!error)
          socket.bind(Tcp::endpoint(target.protocol(), static_cast<uint16_t>(bind_port)), error);
      }
      if (error) {
        last_error = error;
        continue;
      }
      socket.async_connect(
          target, [self = shared_from_this(), started = generation,
                   endpoints = std::move(endpoints), index](const std::error_code& error) mutable {
            if (started != self->generation || Aborted(error)) return;
            if (error) return self->ConnectTo(std::move(endpoints), index + 1, error);
            // Each PDU goes out at once instead of waiting on delayed
            // acknowledgements: request and response are small.
            std::error_code ignored;
            self->socket.set_option(Tcp::no_delay(true), ignored);
            self->state = kSocketConnected;
            self->Read();
          });
      return;
    }
    Fail(last_error);
  }

  void Read() {
    socket.async_read_some(
        asio::buffer(read_buffer), [self = shared_from_this(), started = generation](
                                       const std::error_code& error, std::size_t size) {
          if (started != self->generation || Aborted(error)) return;
          if (error == asio::error::eof) return self->PeerClosed();
          if (error) return self->Fail(error);
          self->input.insert(self->input.end(), self->read_buffer.begin(),
                             self->read_buffer.begin() + static_cast<std::ptrdiff_t>(size));
          // The next read goes out first: the listener may pump events and must
          // see further arrivals.
          self->Read();
          if (self->listener) self->listener->OnSocketDataArrival(self->input.size());
        });
  }

  // With no write in flight the octets go out at once, as they are;
  // otherwise they queue behind the others, packed into blocks, so that the
  // next write takes all of them in a few system calls.
  void Send(std::vector<uint8_t> data) {
    if (data.empty()) return;
    queued_octets += data.size();
    Queue(std::move(data));
    if (!writing) Write();
  }

  void Queue(std::vector<uint8_t> data) {
    if (!output.empty() && output.back().size() + data.size() <= kOutputBlock) {
      output.back().insert(output.back().end(), data.begin(), data.end());
    } else if (writing && data.size() < kOutputBlock) {
      std::vector<uint8_t>& block = output.emplace_back();
      block.reserve(kOutputBlock);
      block.insert(block.end(), data.begin(), data.end());
    } else {
      output.push_back(std::move(data));
    }
  }

  // Writes everything queued so far as one operation; the batch lives in the
  // handler until the write completes.
  void Write() {
    auto batch = std::make_shared<std::deque<std::vector<uint8_t>>>(std::exchange(output, {}));
    std::vector<asio::const_buffer> buffers;
    buffers.reserve(batch->size());
    for (const auto& block : *batch) buffers.push_back(asio::buffer(block));
    writing = true;
    asio::async_write(socket, buffers,
                      [self = shared_from_this(), started = generation, batch](
                          const std::error_code& error, std::size_t) {
                        if (started != self->generation || Aborted(error)) return;
                        if (error) return self->Fail(error);
                        self->writing = false;
                        for (const auto& block : *batch) self->queued_octets -= block.size();
                        if (!self->output.empty()) self->Write();
                      });
  }

  // The peer's orderly close: reading ends, the socket stays open until Close.
  void PeerClosed() {
    state = kSocketClosing;
    if (listener) listener->OnSocketClose();
  }

  void Fail(const std::error_code& error) {
    Shut();
    state = kSocketError;
    const SocketError reported = TranslateSocketError(error);
    if (listener) listener->OnSocketError(reported.number, reported.description);
  }

  Tcp::resolver resolver;
  Tcp::socket socket;
  SocketListener* listener;  // null once the socket object is gone
  int32_t state = kSocketClosed;
  int32_t bind_port = 0;
  uint64_t generation = 0;
  std::vector<uint8_t> read_buffer;
  std::vector<uint8_t> input;
  std::deque<std::vector<uint8_t>> output;  // queued behind the write in flight
  std::size_t queued_octets = 0;            // in `output` and in the write in flight
  bool writing = false;
};

AsioTcpSocket::AsioTcpSocket(asio::io_context& loop, SocketListener& listener)
    : link_(std::make_shared<Link>(loop, listener)) {}

AsioTcpSocket::~AsioTcpSocket() {
  link_->listener = nullptr;
  link_->Shut();
}

int32_t AsioTcpSocket::State() const { return link_->state; }

void AsioTcpSocket::Connect(const std::string& remote_host, int32_t remote_port) {
  if (link_->state != kSocketClosed) Close();
  link_->Start(remote_host, remote_port);
}

void AsioTcpSocket::SendData(std::vector<uint8_t> data) {
  if (link_->state != kSocketConnected) throw WrongStateError();
  link_->Send(std::move(data));
}

std::vector<uint8_t> AsioTcpSocket::GetData() { return std::exchange(link_->input, {}); }

std::size_t AsioTcpSocket::QueuedOutput() const { return link_->queued_octets; }

void AsioTcpSocket::Close() {
  link_->Shut();
  link_->state = kSocketClosed;
  link_->input.clear();
}

int32_t AsioTcpSocket::LocalPort() const {
  if (link_->socket.is_open()) {
    std::error_code error;
    const Tcp::endpoint local = link_->socket.local_endpoint(error);
    if (!error) return local.port();
  }
  return link_->bind_port;
}

void AsioTcpSocket::LocalPort(int32_t port) {
  if (port < 0 || port > kMaxPort) throw InvalidPortError();
  link_->bind_port = port;
}

std::string AsioTcpSocket::LocalIPAddress() const {
  if (link_->state != kSocketConnected) return {};
  std::error_code error;
  const Tcp::endpoint local = link_->socket.local_endpoint(error);
  return error ? std::string() : local.address().to_string();
}

int32_t AsioTcpSocket::SocketHandle() const {
  return link_->socket.is_open() ? static_cast<int32_t>(link_->socket.native_handle()) : 0;
}

}  // namespace korvane::platform
