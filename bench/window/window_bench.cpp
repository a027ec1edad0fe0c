// The submission window against the simulator's engine on loopback: with
// responses delayed 20 ms, windows 1, 10 and 64 against the ideal W / RTT;
// with no added latency, matched submissions per second through a window of
// 64; and processor time per message (getrusage). Prints; asserts nothing.
#include <sys/resource.h>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "korvane/smpp.hpp"
#include "smsc/engine.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The simulator on its own thread, answering after `latency`.
class Simulator {
 public:
  explicit Simulator(std::chrono::milliseconds latency) {
    korvane::smsc::SmscOptions options;
    options.port = 0;
    options.latency = {latency, std::chrono::milliseconds(0)};
    engine_ = std::make_unique<korvane::smsc::SmscEngine>(loop_, std::move(options));
    thread_ = std::thread([this] { loop_.run(); });
  }
  ~Simulator() {
    engine_->Stop();
    thread_.join();
  }
  uint16_t Port() const { return engine_->Port(); }

 private:
  asio::io_context loop_;
  std::unique_ptr<korvane::smsc::SmscEngine> engine_;
  std::thread thread_;
};

struct Figures {
  int64_t accepted = 0;
  int64_t failed = 0;
  double seconds = 0;
  double thread_cpu = 0;   // the client's thread
  double process_cpu = 0;  // the client and the simulator
};

// `count` submissions through a window of `window`, two windows handed over
// at a time, as korvane-smpp's load mode does.
Figures Run(uint16_t port, int window, int64_t count) {
  asio::io_context loop;
  korvane::SMPP smpp(loop);
  smpp.SMPPServerAddress("127.0.0.1");
  smpp.SMPPServerPort(port);
  smpp.SystemID("bench");
  smpp.OperationsTimeout(30);
  Figures figures;
  if (smpp.Bind(korvane::BindTypes::SmppBindAsTransmitter) == 0) return figures;
  smpp.MaxOutstanding(window);
  smpp.MaxQueuedSubmissions(window);
  korvane::MessageObject message;
  message.SourceAddress = "12345";
  message.DestAddress = "447700900123";
  message.ShortMessage = korvane::Variant(std::string("a benchmark message of some forty chars"));
  int64_t handed = 0;
  const auto completion = [&figures](const korvane::SubmitResult& result) {
    ++(result.Outcome == korvane::SubmitOutcome::Accepted ? figures.accepted : figures.failed);
  };
  const auto open = [&] { return handed - figures.accepted - figures.failed; };
  const double thread_before = CpuSeconds(RUSAGE_THREAD);
  const double process_before = CpuSeconds(RUSAGE_SELF);
  const auto start = Clock::now();
  auto guard = asio::make_work_guard(loop);
  while (figures.accepted + figures.failed < count) {
    while (handed < count && open() < 2 * int64_t{window}) {
      ++handed;
      smpp.SubmitAsync(message, completion);
    }
    loop.run_one();
  }
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  figures.thread_cpu = CpuSeconds(RUSAGE_THREAD) - thread_before;
  figures.process_cpu = CpuSeconds(RUSAGE_SELF) - process_before;
  guard.reset();
  smpp.Unbind();
  return figures;
}

void Print(const char* label, int window, int64_t count, const Figures& f, double ideal) {
  const double rate = f.seconds > 0 ? static_cast<double>(f.accepted) / f.seconds : 0;
  std::printf("%-22s W=%-3d %8lld msgs %8.3f s %12.0f msg/s", label, window,
              static_cast<long long>(count), f.seconds, rate);
  if (ideal > 0) std::printf("  ideal %8.0f  ratio %.3f", ideal, rate / ideal);
  std::printf("  cpu/msg %.2f us (client thread) %.2f us (process)", f.thread_cpu / count * 1e6,
              f.process_cpu / count * 1e6);
  if (f.failed != 0) std::printf("  FAILED %lld", static_cast<long long>(f.failed));
  std::printf("\n");
}

}  // namespace

int main() {
  constexpr auto kLatency = std::chrono::milliseconds(20);
  std::printf("Submission window against korvane-smsc's engine on loopback\n");
  {
    Simulator simulator(kLatency);
    for (const int window : {1, 10, 64}) {
      const int64_t count = int64_t{window} * 100;  // about two seconds each
      const Figures f = Run(simulator.Port(), window, count);
      Print("latency 20 ms", window, count, f,
            window / std::chrono::duration<double>(kLatency).count());
    }
  }
  {
    Simulator simulator(std::chrono::milliseconds(0));
    constexpr int64_t kCount = 300000;
    Print("no added latency", 64, kCount, Run(simulator.Port(), 64, kCount), 0);
  }
  return 0;
}
