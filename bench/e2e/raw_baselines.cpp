#include "e2e/raw_baselines.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "e2e/wire.hpp"
#include "e2e/workload.hpp"

namespace korvane::bench {
namespace {

constexpr std::size_t kBlock = 64 * 1024;
constexpr int kStallSeconds = 10;

// Reads whole PDUs into `cutter` with one recv() of up to 64 KiB; false at
// the end of the stream, on an error, or after a stall.
bool ReadBlock(int fd, StreamCutter& cutter) {
  const auto room = cutter.Room(kBlock);
  const ssize_t got = ::recv(fd, room.data(), room.size(), 0);
  if (got <= 0) return false;
  cutter.Commit(static_cast<std::size_t>(got));
  return true;
}

class Connection {
 public:
  explicit Connection(uint16_t port) : fd_(ConnectLoopback(port)) {
    if (fd_ >= 0) SetReceiveTimeout(fd_, kStallSeconds);
  }
  ~Connection() {
    if (fd_ >= 0) ::close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

Sample RawSubmit(uint16_t port, std::span<const uint8_t> stream, std::size_t pdu_size,
                 std::size_t count, bool batched) {
  Sample sample{.messages = count};
  const Connection connection(port);
  if (connection.fd() < 0) return sample;
  Clock::time_point last_response;
  double reader_cpu = 0;
  std::size_t responses = 0;
  std::thread reader([&] {
    const double cpu_start = ThreadCpuSeconds();
    StreamCutter cutter;
    while (responses < count && ReadBlock(connection.fd(), cutter)) {
      for (auto pdu = cutter.Next(); !pdu.empty(); pdu = cutter.Next())
        if (CommandIdOf(pdu) == kSubmitSmResp) ++responses;
    }
    last_response = Clock::now();
    reader_cpu = ThreadCpuSeconds() - cpu_start;
  });
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  const std::size_t step = batched ? kBlock : pdu_size;
  const std::span<const uint8_t> octets = stream.first(pdu_size * count);
  for (std::size_t at = 0; at < octets.size(); at += step) {
    if (!WriteAll(connection.fd(), octets.subspan(at, std::min(step, octets.size() - at)))) break;
  }
  const double writer_cpu = ThreadCpuSeconds() - cpu_start;
  reader.join();
  sample.seconds = SecondsBetween(start, last_response);
  sample.client_cpu = writer_cpu + reader_cpu;
  sample.complete = responses >= count;
  return sample;
}

Sample RawPingPong(uint16_t port, std::size_t count) {
  Sample sample{.messages = count};
  const Connection connection(port);
  if (connection.fd() < 0) return sample;
  std::vector<uint8_t> request = EncodedSubmit(1);
  StreamCutter cutter;
  std::size_t done = 0;
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  for (; done < count; ++done) {
    Write32(request.data() + 12, static_cast<uint32_t>(done + 1));
    if (!WriteAll(connection.fd(), request)) break;
    std::span<const uint8_t> response = cutter.Next();
    while (response.empty() && ReadBlock(connection.fd(), cutter)) response = cutter.Next();
    if (response.empty() || CommandIdOf(response) != kSubmitSmResp) break;
  }
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  sample.complete = done == count;
  return sample;
}

Sample RawReception(uint16_t port, std::size_t count, bool batched) {
  Sample sample{.messages = count};
  const Connection connection(port);
  if (connection.fd() < 0) return sample;
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  if (!WriteAll(connection.fd(), MakePdu(kEnquireLink, 0, 1))) return sample;
  StreamCutter cutter;
  std::vector<uint8_t> answers;
  std::vector<uint8_t> answer = MakePdu(kDeliverSmResp, 0, 0, std::vector<uint8_t>{0});
  std::size_t received = 0;
  bool failed = false;
  while (received < count && !failed && ReadBlock(connection.fd(), cutter)) {
    for (auto pdu = cutter.Next(); !pdu.empty(); pdu = cutter.Next()) {
      if (CommandIdOf(pdu) != kDeliverSm) continue;
      ++received;
      std::copy_n(pdu.data() + 12, 4, answer.data() + 12);
      if (batched) {
        answers.insert(answers.end(), answer.begin(), answer.end());
      } else if (!WriteAll(connection.fd(), answer)) {
        failed = true;
        break;
      }
    }
    if (batched && !answers.empty()) {
      failed = !WriteAll(connection.fd(), answers);
      answers.clear();
    }
  }
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  sample.complete = received >= count;
  return sample;
}

}  // namespace korvane::bench
