// The pace found against a throttling SMSC: the simulator's engine in process
// answers 0x58 to submissions beyond --limit (default 500) per second of the
// connection; one session with a window of 64 and no MaxSubmitsPerSecond
// keeps two windows handed over for --seconds (default 15). Printed per
// second from the simulator's own counts: submissions accepted and
// throttled; then the accepted rate from second --settle (default 5) on as a
// fraction of the limit, and the share of submit PDUs throttled over those
// seconds. Goal: a fraction of at least 0.9 and a share under 5 %. Prints;
// asserts nothing.
// A standard header ahead of Asio's: Asio's configuration (aligned
// allocation) must see the standard library's, as in the library's own files.
// clang-format off
#include <cstddef>
// clang-format on
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "korvane/smpp.hpp"
#include "smsc/engine.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using korvane::smsc::FaultCounters;

struct Settings {
  int limit = 500;
  int seconds = 15;
  int settle = 5;
  int window = 64;
};

// "--name=N" arguments; false for anything else.
bool Parse(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) return false;
    const std::string name = argument.substr(0, equals);
    const int value = std::atoi(argument.c_str() + equals + 1);
    if (value <= 0) return false;
    if (name == "--limit") {
      settings.limit = value;
    } else if (name == "--seconds") {
      settings.seconds = value;
    } else if (name == "--settle") {
      settings.settle = value;
    } else if (name == "--window") {
      settings.window = value;
    } else {
      return false;
    }
  }
  return settings.settle < settings.seconds;
}

// The simulator on its own thread, throttling at `limit` per second.
class Simulator {
 public:
  explicit Simulator(int limit) {
    korvane::smsc::SmscOptions options;
    options.port = 0;
    options.faults.throttle_tps = limit;
    engine_ = std::make_unique<korvane::smsc::SmscEngine>(loop_, std::move(options));
    thread_ = std::thread([this] { loop_.run(); });
  }
  ~Simulator() {
    engine_->Stop();
    thread_.join();
  }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;
  uint16_t Port() const { return engine_->Port(); }
  uint64_t Count(FaultCounters::Kind kind) const { return engine_->Counters().Get(kind); }

 private:
  asio::io_context loop_;
  std::unique_ptr<korvane::smsc::SmscEngine> engine_;
  std::thread thread_;
};

struct Second {
  uint64_t accepted = 0;
  uint64_t throttled = 0;
};

// Keeps two windows handed over until `settings.seconds` have passed; the
// simulator's counts at the end of each second.
std::vector<Second> Run(const Simulator& simulator, const Settings& settings, int64_t& refused,
                        int64_t& retries) {
  asio::io_context loop;
  korvane::SMPP smpp(loop);
  smpp.SMPPServerAddress("127.0.0.1");
  smpp.SMPPServerPort(simulator.Port());
  smpp.SystemID("bench");
  smpp.OperationsTimeout(30);
  std::vector<Second> seconds;
  if (smpp.Bind(korvane::BindTypes::SmppBindAsTransmitter) == 0) return seconds;
  smpp.MaxOutstanding(settings.window);
  smpp.MaxQueuedSubmissions(2 * settings.window);
  korvane::MessageObject message;
  message.SourceAddress = "12345";
  message.DestAddress = "447700900123";
  message.ShortMessage = korvane::Variant(std::string("a benchmark message of some forty chars"));
  int64_t open = 0;
  const auto completion = [&](const korvane::SubmitResult& result) {
    --open;
    retries += result.Retries;
    if (result.Outcome == korvane::SubmitOutcome::Refused) ++refused;
  };
  Second before{simulator.Count(FaultCounters::kAccepted),
                simulator.Count(FaultCounters::kThrottled)};
  const auto start = Clock::now();
  auto guard = asio::make_work_guard(loop);
  for (int second = 1; second <= settings.seconds; ++second) {
    const auto end = start + std::chrono::seconds(second);
    while (Clock::now() < end) {
      while (open < 2 * int64_t{settings.window}) {
        ++open;
        smpp.SubmitAsync(message, completion);
      }
      loop.run_one_until(end);
    }
    const Second now{simulator.Count(FaultCounters::kAccepted),
                     simulator.Count(FaultCounters::kThrottled)};
    seconds.push_back({now.accepted - before.accepted, now.throttled - before.throttled});
    before = now;
  }
  guard.reset();
  smpp.Unbind();  // completes what is still open
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!Parse(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: %s [--limit=N] [--seconds=N] [--settle=N] [--window=N] "
                 "(settle below seconds)\n",
                 argv[0]);
    return 2;
  }
  std::printf("Pace against korvane-smsc's engine throttling at %d/s, window %d, no cap\n",
              settings.limit, settings.window);
  Simulator simulator(settings.limit);
  int64_t refused = 0, retries = 0;
  const std::vector<Second> seconds = Run(simulator, settings, refused, retries);
  if (seconds.empty()) {
    std::printf("bind failed\n");
    return 1;
  }
  uint64_t accepted = 0, throttled = 0;
  for (std::size_t i = 0; i < seconds.size(); ++i) {
    std::printf("second %2zu  accepted %6llu  throttled %5llu\n", i + 1,
                static_cast<unsigned long long>(seconds[i].accepted),
                static_cast<unsigned long long>(seconds[i].throttled));
    if (static_cast<int>(i) >= settings.settle) {
      accepted += seconds[i].accepted;
      throttled += seconds[i].throttled;
    }
  }
  const int span = settings.seconds - settings.settle;
  const double fraction = static_cast<double>(accepted) / span / settings.limit;
  const double share =
      accepted + throttled > 0 ? static_cast<double>(throttled) / (accepted + throttled) : 0.0;
  std::printf(
      "seconds %d..%d: %.1f accepted/s = %.3f of the limit (goal >= 0.9), %.2f %% of the submit "
      "PDUs throttled (goal < 5 %%)\n",
      settings.settle, settings.seconds, static_cast<double>(accepted) / span, fraction,
      share * 100);
  std::printf("retries %lld; submissions refused once their retries were spent %lld\n",
              static_cast<long long>(retries), static_cast<long long>(refused));
  return 0;
}
