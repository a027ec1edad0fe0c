#include "e2e/library_runs.hpp"

#include <cstdio>
#include <string>

#include "e2e/workload.hpp"
#include "korvane/smpp.hpp"

namespace korvane::bench {
namespace {

constexpr auto kCap = std::chrono::seconds(60);

struct Counter : SMPPEvents {
  std::size_t delivered = 0;
  std::size_t received = 0;
  std::size_t errors = 0;

  void MessageDelivered(MessageObject&) override { ++delivered; }
  void MessageReceived(MessageObject&) override { ++received; }
  void Error(int32_t number, const std::string& source, const std::string& text) override {
    if (errors++ == 0)
      std::fprintf(stderr, "library error %d from %s: %s\n", number, source.c_str(), text.c_str());
  }
};

// A bound session on this thread's loop; unbinds when it goes.
class BoundSession {
 public:
  explicit BoundSession(uint16_t port) {
    smpp.Subscribe(counter);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(port);
    smpp.SystemID("bench");
    smpp.ProtocolID(kProtocol);
    bound = smpp.Bind(BindTypes::SmppBindAsTransceiver) != 0;
  }
  ~BoundSession() {
    if (bound) smpp.Unbind();
  }
  BoundSession(const BoundSession&) = delete;
  BoundSession& operator=(const BoundSession&) = delete;

  // Pumps events until `done` holds; false when the cap ran out first.
  template <typename Done>
  bool PumpUntil(Done done) {
    const Clock::time_point deadline = Clock::now() + kCap;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      DoEvents();
    }
    return true;
  }

  Counter counter;
  SMPP smpp;
  bool bound = false;
};

}  // namespace

Sample LibrarySubmitNoWait(uint16_t port, std::size_t count) {
  Sample sample{.messages = count};
  BoundSession session(port);
  if (!session.bound) return sample;
  MessageObject message = BenchMessage();
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  for (std::size_t i = 0; i < count; ++i) session.smpp.SendMessage(message);
  sample.complete = session.PumpUntil([&] { return session.counter.delivered >= count; });
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  return sample;
}

Sample LibrarySubmitWaited(uint16_t port, std::size_t count) {
  Sample sample{.messages = count};
  BoundSession session(port);
  if (!session.bound) return sample;
  MessageObject message = BenchMessage();
  std::size_t answered = 0;
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  for (std::size_t i = 0; i < count; ++i) {
    if (!session.smpp.SendMessage(message, true).empty()) ++answered;
  }
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  sample.complete = answered == count;
  return sample;
}

Sample LibraryReception(uint16_t port, std::size_t count) {
  Sample sample{.messages = count};
  BoundSession session(port);
  if (!session.bound) return sample;
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  session.smpp.EnquireLink();
  sample.complete = session.PumpUntil([&] { return session.counter.received >= count; });
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  return sample;
}

Sample LibraryTimeoutWait(uint16_t port, int16_t seconds) {
  Sample sample{.messages = 1};
  BoundSession session(port);
  if (!session.bound) return sample;
  session.smpp.OperationsTimeout(seconds);
  MessageObject message = BenchMessage();
  const double cpu_start = ThreadCpuSeconds();
  const Clock::time_point start = Clock::now();
  const std::string id = session.smpp.SendMessage(message, true);
  sample.seconds = SecondsBetween(start, Clock::now());
  sample.client_cpu = ThreadCpuSeconds() - cpu_start;
  sample.complete = id.empty();  // the wait must have ended by its timeout
  return sample;
}

}  // namespace korvane::bench
