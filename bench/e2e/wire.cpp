#include "e2e/wire.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvane::bench {

uint32_t Read32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | static_cast<uint32_t>(at[3]);
}

void Write32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  Write32(out.data() + at, value);
}

void AppendPdu(std::vector<uint8_t>& out, uint32_t command_id, uint32_t status, uint32_t sequence,
               std::span<const uint8_t> body) {
  Append32(out, static_cast<uint32_t>(kHeaderLength + body.size()));
  Append32(out, command_id);
  Append32(out, status);
  Append32(out, sequence);
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> MakePdu(uint32_t command_id, uint32_t status, uint32_t sequence,
                             std::span<const uint8_t> body) {
  std::vector<uint8_t> pdu;
  pdu.reserve(kHeaderLength + body.size());
  AppendPdu(pdu, command_id, status, sequence, body);
  return pdu;
}

std::span<const uint8_t> AsOctets(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void StreamCutter::Feed(std::span<const uint8_t> octets) {
  std::ranges::copy(octets, Room(octets.size()).begin());
  Commit(octets.size());
}

std::span<const uint8_t> StreamCutter::Next() {
  if (end_ - begin_ < kHeaderLength) return {};
  const uint32_t length = Read32(buffer_.data() + begin_);
  if (length < kHeaderLength || end_ - begin_ < length) return {};
  const std::span<const uint8_t> pdu(buffer_.data() + begin_, length);
  begin_ += length;
  return pdu;
}

std::span<uint8_t> StreamCutter::Room(std::size_t at_least) {
  Compact();
  if (buffer_.size() - end_ < at_least) buffer_.resize(end_ + at_least);
  return {buffer_.data() + end_, buffer_.size() - end_};
}

void StreamCutter::Commit(std::size_t size) { end_ += size; }

// Moves the incomplete rest to the front once everything before it is used.
void StreamCutter::Compact() {
  if (begin_ == 0) return;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
}

int ConnectLoopback(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

void SetReceiveTimeout(int fd, int seconds) {
  const timeval timeout{.tv_sec = seconds, .tv_usec = 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

bool WriteAll(int fd, std::span<const uint8_t> octets) {
  while (!octets.empty()) {
    const ssize_t written = ::send(fd, octets.data(), octets.size(), MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    octets = octets.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace korvane::bench
