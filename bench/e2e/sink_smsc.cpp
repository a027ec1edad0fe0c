#include "e2e/sink_smsc.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <utility>

#include "e2e/wire.hpp"

namespace korvane::bench {
namespace {

constexpr std::size_t kReadBlock = 256 * 1024;
// The deliver_sm stream is topped up while less than this is waiting.
constexpr std::size_t kStreamLowWater = 64 * 1024;
constexpr std::size_t kMessageIdDigits = 8;
// Written octets are dropped from the output buffer's front past this.
constexpr std::size_t kCompactAfter = 1024 * 1024;

void SetNonBlocking(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

struct SinkSmsc::Connection {
  int fd = -1;
  StreamCutter input;
  std::vector<uint8_t> output;
  std::size_t output_sent = 0;
  std::size_t stream_left = 0;  // deliver_sm still to queue
  uint32_t stream_sequence = 0;
  uint32_t next_message_id = 0;

  std::size_t Waiting() const { return output.size() - output_sent; }
};

SinkSmsc::SinkSmsc() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listen_fd_, 8) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      ::pipe(wake_fds_) != 0) {
    throw std::runtime_error("sink SMSC: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

SinkSmsc::~SinkSmsc() {
  const char stop = 1;
  (void)!::write(wake_fds_[1], &stop, 1);
  thread_.join();
  ::close(listen_fd_);
  ::close(wake_fds_[0]);
  ::close(wake_fds_[1]);
}

void SinkSmsc::Prepare(Setup setup) {
  const std::lock_guard lock(setup_mutex_);
  pending_setup_ = std::move(setup);
}

double SinkSmsc::CpuSeconds() const {
  clockid_t clock;
  timespec used{};
  if (pthread_getcpuclockid(const_cast<std::thread&>(thread_).native_handle(), &clock) != 0 ||
      clock_gettime(clock, &used) != 0)
    return 0;
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

void SinkSmsc::Run() {
  for (;;) {
    pollfd waits[2] = {{listen_fd_, POLLIN, 0}, {wake_fds_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0 && errno != EINTR) return;
    if (waits[1].revents) return;
    if (!(waits[0].revents & POLLIN)) continue;
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    {
      const std::lock_guard lock(setup_mutex_);
      setup_ = pending_setup_;
    }
    SetNonBlocking(fd);
    Connection connection;
    connection.fd = fd;
    Serve(connection);
    ::close(fd);
  }
}

// Serves one client until it closes, a new client arrives or the sink stops.
void SinkSmsc::Serve(Connection& connection) {
  for (;;) {
    RefillStream(connection);
    const short events = static_cast<short>(POLLIN | (connection.Waiting() ? POLLOUT : 0));
    pollfd waits[3] = {
        {connection.fd, events, 0}, {listen_fd_, POLLIN, 0}, {wake_fds_[0], POLLIN, 0}};
    if (::poll(waits, 3, -1) < 0 && errno != EINTR) return;
    if (waits[1].revents || waits[2].revents) return;
    if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
    if (waits[0].revents & POLLIN) {
      const auto room = connection.input.Room(kReadBlock);
      const ssize_t got = ::recv(connection.fd, room.data(), room.size(), 0);
      if (got == 0) return;
      if (got < 0 && errno != EAGAIN && errno != EINTR) return;
      if (got > 0) {
        connection.input.Commit(static_cast<std::size_t>(got));
        for (auto pdu = connection.input.Next(); !pdu.empty(); pdu = connection.input.Next())
          Answer(connection, pdu.data());
      }
    }
    RefillStream(connection);
    if (connection.Waiting()) {
      const ssize_t sent = ::send(connection.fd, connection.output.data() + connection.output_sent,
                                  connection.Waiting(), MSG_NOSIGNAL);
      if (sent < 0 && errno != EAGAIN && errno != EINTR) return;
      if (sent > 0) connection.output_sent += static_cast<std::size_t>(sent);
      if (connection.output_sent == connection.output.size() ||
          connection.output_sent > kCompactAfter) {
        connection.output.erase(
            connection.output.begin(),
            connection.output.begin() + static_cast<std::ptrdiff_t>(connection.output_sent));
        connection.output_sent = 0;
      }
    }
  }
}

void SinkSmsc::Answer(Connection& connection, const uint8_t* pdu) {
  const uint32_t command_id = Read32(pdu + 4);
  const uint32_t sequence = Read32(pdu + 12);
  auto& out = connection.output;
  switch (command_id) {
    case kSubmitSm: {
      submits_.fetch_add(1, std::memory_order_relaxed);
      if (setup_.silent) return;
      // message_id: eight hex digits of a counter, then the NUL.
      uint8_t id[kMessageIdDigits + 1] = {};
      const uint32_t number = connection.next_message_id++;
      for (std::size_t i = 0; i < kMessageIdDigits; ++i)
        id[i] = static_cast<uint8_t>("0123456789ABCDEF"[(number >> (28 - 4 * i)) & 0xF]);
      AppendPdu(out, kSubmitSmResp, 0, sequence, id);
      return;
    }
    case kEnquireLink:
      AppendPdu(out, kEnquireLink | kResponseBit, 0, sequence);
      if (setup_.deliveries > 0 && connection.stream_left == 0)
        connection.stream_left = setup_.deliveries;
      return;
    case kDeliverSmResp:
      delivery_responses_.fetch_add(1, std::memory_order_relaxed);
      return;
    case 0x00000001:
    case 0x00000002:
    case kBindTransceiver:
      AppendPdu(out, command_id | kResponseBit, 0, sequence, AsOctets(std::string_view("SINK", 5)));
      return;
    case kUnbind:
      AppendPdu(out, kUnbind | kResponseBit, 0, sequence);
      return;
    default:
      if (!(command_id & kResponseBit)) AppendPdu(out, kGenericNack, 3, sequence);
  }
}

// Queues further deliver_sm, whole, while the stream lasts and little waits.
void SinkSmsc::RefillStream(Connection& connection) {
  const std::vector<uint8_t>& deliver = setup_.deliver;
  if (deliver.empty()) return;
  while (connection.stream_left > 0 && connection.Waiting() < kStreamLowWater) {
    const std::size_t at = connection.output.size();
    connection.output.insert(connection.output.end(), deliver.begin(), deliver.end());
    Write32(connection.output.data() + at + 12, ++connection.stream_sequence);
    --connection.stream_left;
  }
}

}  // namespace korvane::bench
