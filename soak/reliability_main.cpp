// korvane_reliability: submissions across dropped connections. korvane-smsc
// runs as a child process that closes each connection, without an unbind,
// at every --disconnect-every PDU (that PDU served, its answer withheld),
// throttles submissions beyond --throttle-tps per second and, when asked,
// answers a share of them queue full (--queue-full-rate); one session with
// AutoReconnect runs --count submissions through SubmitAsync, two windows
// handed over at a time, each with its own text. Checks, exit status 1 when
// one fails:
//   - every submission completes exactly once;
//   - the simulator accepted no text twice (its duplicates count is 0);
//   - the client's resident memory stays flat: after the first fifth of the
//     submissions it grows by at most kGrowthBoundKiB;
//   - the connection was dropped and bound again at least once.
// Prints the outcomes, rebinds, the simulator's counts, the memory samples
// and the time.
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
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "soak/resident_memory.hpp"
#include "soak/smsc_process.hpp"

namespace korvane::soak {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kGrowthBoundKiB = 4096;
constexpr int kSamples = 10;  // memory samples, one per tenth of the submissions
constexpr int kWarmUpSamples = 2;

struct Settings {
  std::string smsc;  // the korvane-smsc binary
  int64_t count = 100000;
  int disconnect_every = 1000;
  int throttle_tps = 800;
  int rebind_guard_ms = 0;
  std::string queue_full_rate = "0";  // passed on as given
  int window = 64;
  int limit_seconds = 900;  // the whole run fails beyond this
};

bool Parse(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) return false;
    const std::string name = argument.substr(0, equals);
    const std::string value = argument.substr(equals + 1);
    const long long number = std::atoll(value.c_str());
    if (name == "--smsc") {
      settings.smsc = value;
    } else if (name == "--queue-full-rate") {
      settings.queue_full_rate = value;
    } else if (number < 0 || (number == 0 && name != "--rebind-guard-ms")) {
      return false;
    } else if (name == "--count") {
      settings.count = number;
    } else if (name == "--disconnect-every") {
      settings.disconnect_every = static_cast<int>(number);
    } else if (name == "--throttle-tps") {
      settings.throttle_tps = static_cast<int>(number);
    } else if (name == "--rebind-guard-ms") {
      settings.rebind_guard_ms = static_cast<int>(number);
    } else if (name == "--window") {
      settings.window = static_cast<int>(number);
    } else if (name == "--limit-seconds") {
      settings.limit_seconds = static_cast<int>(number);
    } else {
      return false;
    }
  }
  return !settings.smsc.empty();
}

// Counts the rebinding's events.
class Events : public SMPPEvents {
 public:
  int64_t closed = 0, attempts = 0, rebinds = 0, failed_attempts = 0;
  std::string last_failure;

  void ConnectionClosed() override { ++closed; }
  void Reconnecting(int32_t, int32_t) override { ++attempts; }
  void Reconnected(int32_t) override { ++rebinds; }
  void ReconnectFailed(int32_t, const std::string& reason) override {
    ++failed_attempts;
    last_failure = reason;
  }
};

struct Outcomes {
  int64_t accepted = 0, refused = 0, timed_out = 0, lost = 0, not_sent = 0, retried = 0;
  int64_t Completed() const { return accepted + refused + timed_out + lost + not_sent; }
  void Add(const SubmitResult& result) {
    retried += result.Retries;
    switch (result.Outcome) {
      case SubmitOutcome::Accepted:
        ++accepted;
        break;
      case SubmitOutcome::Refused:
        ++refused;
        break;
      case SubmitOutcome::TimedOut:
        ++timed_out;
        break;
      case SubmitOutcome::ConnectionLost:
        ++lost;
        break;
      case SubmitOutcome::NotSent:
        ++not_sent;
        break;
    }
  }
};

struct Run {
  Outcomes outcomes;
  std::vector<uint8_t> completions;  // per submission, capped at 255
  std::vector<uint64_t> rss_kib;
  double seconds = 0;
  bool finished = false;
};

void Submit(SMPP& smpp, Run& run, int64_t index) {
  MessageObject message;
  message.SourceAddress = "12345";
  message.DestAddress = "447700900123";
  message.ShortMessage = Variant("reliability " + std::to_string(index));
  smpp.SubmitAsync(std::move(message), [&run, index](const SubmitResult& result) {
    uint8_t& done = run.completions[static_cast<std::size_t>(index)];
    if (done < 255) ++done;
    run.outcomes.Add(result);
  });
}

Run Drive(const Settings& settings, uint16_t port, Events& events) {
  Run run;
  run.completions.assign(static_cast<std::size_t>(settings.count), 0);
  asio::io_context loop;
  SMPP smpp(loop);
  smpp.Subscribe(events);
  smpp.SMPPServerAddress("127.0.0.1");
  smpp.SMPPServerPort(port);
  smpp.SystemID("reliability");
  smpp.OperationsTimeout(10);
  smpp.ConnectionTimeout(5);
  smpp.AutoReconnect(true);
  smpp.ReconnectInitialDelayMs(20);
  smpp.ReconnectMaxDelayMs(1000);
  smpp.AutoEnquireLinkInterval(5);
  smpp.LinkTimeout(15);
  smpp.MaxOutstanding(settings.window);
  smpp.MaxQueuedSubmissions(2 * settings.window);
  if (smpp.Bind(BindTypes::SmppBindAsTransmitter) == 0) return run;
  const auto start = Clock::now();
  const auto limit = start + std::chrono::seconds(settings.limit_seconds);
  int64_t next = 0;
  int64_t next_sample = settings.count / kSamples;
  auto guard = asio::make_work_guard(loop);
  while (run.outcomes.Completed() < settings.count && Clock::now() < limit) {
    while (next < settings.count && next - run.outcomes.Completed() < 2 * int64_t{settings.window})
      Submit(smpp, run, next++);
    loop.run_one_until(limit);
    if (run.outcomes.Completed() >= next_sample && next_sample <= settings.count) {
      run.rss_kib.push_back(ResidentKiB());
      next_sample += settings.count / kSamples;
    }
  }
  run.finished = run.outcomes.Completed() >= settings.count;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  guard.reset();
  smpp.Unbind();
  return run;
}

// The checks; prints each failure.
bool Check(const Settings& settings, const Run& run, const Events& events,
           const std::map<std::string, uint64_t>& smsc) {
  bool ok = true;
  const auto fail = [&ok](const std::string& text) {
    std::printf("FAILED: %s\n", text.c_str());
    ok = false;
  };
  if (!run.finished) fail("not every submission completed within the time limit");
  int64_t never = 0, twice = 0;
  for (const uint8_t done : run.completions) {
    never += done == 0;
    twice += done > 1;
  }
  if (never != 0 || twice != 0)
    fail(std::to_string(never) + " submissions never completed, " + std::to_string(twice) +
         " more than once");
  const auto duplicates = smsc.find("duplicates");
  if (duplicates == smsc.end()) {
    fail("no summary line from korvane-smsc");
  } else if (duplicates->second != 0) {
    fail("korvane-smsc accepted " + std::to_string(duplicates->second) + " texts twice");
  }
  if (run.rss_kib.size() > kWarmUpSamples) {
    const uint64_t base = run.rss_kib[kWarmUpSamples - 1];
    for (const uint64_t kib : run.rss_kib)
      if (kib > base + kGrowthBoundKiB)
        fail("resident memory grew from " + std::to_string(base) + " KiB to " +
             std::to_string(kib) + " KiB");
  }
  if (settings.disconnect_every > 0 && events.rebinds == 0) fail("no rebind happened");
  return ok;
}

int Main(int argc, char** argv) {
  Settings settings;
  if (!Parse(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: %s --smsc=PATH [--count=N] [--disconnect-every=PDUS] [--throttle-tps=N] "
                 "[--queue-full-rate=P] [--rebind-guard-ms=M] [--window=N] [--limit-seconds=S]\n",
                 argv[0]);
    return 2;
  }
  std::vector<std::string> options{"--disconnect-every-pdus",
                                   std::to_string(settings.disconnect_every), "--throttle-tps",
                                   std::to_string(settings.throttle_tps)};
  if (settings.queue_full_rate != "0") {
    options.push_back("--queue-full-rate");
    options.push_back(settings.queue_full_rate);
  }
  if (settings.rebind_guard_ms > 0) {
    options.push_back("--rebind-guard-ms");
    options.push_back(std::to_string(settings.rebind_guard_ms));
  }
  SmscProcess smsc(settings.smsc, options);
  std::printf(
      "korvane reliability: %lld submissions, window %d, korvane-smsc dropping every %d "
      "PDUs, throttling at %d/s\n",
      static_cast<long long>(settings.count), settings.window, settings.disconnect_every,
      settings.throttle_tps);
  std::fflush(stdout);
  Events events;
  const Run run = Drive(settings, smsc.Port(), events);
  const std::map<std::string, uint64_t> counts = smsc.Stop();
  const Outcomes& o = run.outcomes;
  std::printf(
      "client: accepted %lld, refused %lld, timed out %lld, lost %lld, not sent %lld, "
      "retried %lld in %.1f s\n",
      static_cast<long long>(o.accepted), static_cast<long long>(o.refused),
      static_cast<long long>(o.timed_out), static_cast<long long>(o.lost),
      static_cast<long long>(o.not_sent), static_cast<long long>(o.retried), run.seconds);
  std::string failure;
  if (!events.last_failure.empty()) failure = " (last: " + events.last_failure + ")";
  std::printf(
      "connection: closed %lld, rebind attempts %lld, rebinds %lld, failed attempts %lld%s\n",
      static_cast<long long>(events.closed), static_cast<long long>(events.attempts),
      static_cast<long long>(events.rebinds), static_cast<long long>(events.failed_attempts),
      failure.c_str());
  std::printf("korvane-smsc:");
  for (const auto& [name, value] : counts)
    std::printf(" %s=%llu", name.c_str(), static_cast<unsigned long long>(value));
  std::printf("\nclient RSS KiB per tenth of the submissions:");
  for (const uint64_t kib : run.rss_kib) std::printf(" %llu", static_cast<unsigned long long>(kib));
  std::printf(" (bound: +%llu over the sample after the first fifth)\n",
              static_cast<unsigned long long>(kGrowthBoundKiB));
  const bool ok = Check(settings, run, events, counts);
  std::printf("%s\n", ok ? "PASSED" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace korvane::soak

int main(int argc, char** argv) {
  try {
    return korvane::soak::Main(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvane_reliability: %s\n", error.what());
    return 1;
  }
}
