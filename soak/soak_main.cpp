// korvane_soak: an hour's traffic or more compressed into a few minutes. The
// session binds (all three types in turn), submits (waited and not, with
// TLVs and message_payload), receives messages and receipts, enquires both
// ways and unbinds, cycle after cycle, against the soak SMSC on its own
// thread. Resident memory is sampled as it runs; after the warm-up it must
// stay within kGrowthBoundKiB of its value at the end of the warm-up, and
// every PDU must have arrived on the other side. Exit status 1 otherwise.
//
// Length: SOAK_SECONDS in the environment, or the first argument; default 180.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "soak/resident_memory.hpp"
#include "soak/soak_host.hpp"
#include "soak/soak_smsc.hpp"

namespace korvane::soak {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultSeconds = 180;
constexpr int kRows = 12;                   // RSS samples after the start
constexpr uint64_t kGrowthBoundKiB = 2048;  // allowed growth after the warm-up
constexpr uint32_t kMessagesPerBind = 50;

int RunSeconds(int argc, char** argv) {
  const char* text = std::getenv("SOAK_SECONDS");
  if (argc > 1) text = argv[1];
  const int seconds = text ? std::atoi(text) : kDefaultSeconds;
  return seconds > 0 ? seconds : kDefaultSeconds;
}

struct Sample {
  double seconds;
  uint64_t cycles;
  uint64_t submitted;
  uint64_t received;
  uint64_t rss_kib;
};

void PrintRow(const Sample& sample, bool warm_up) {
  std::printf("%8.1f  %8llu  %10llu  %10llu  %9llu%s\n", sample.seconds,
              static_cast<unsigned long long>(sample.cycles),
              static_cast<unsigned long long>(sample.submitted),
              static_cast<unsigned long long>(sample.received),
              static_cast<unsigned long long>(sample.rss_kib), warm_up ? "  (warm-up)" : "");
  std::fflush(stdout);
}

// PDUs one side sent and the other never saw, from the final counts.
uint64_t Missing(uint64_t sent, uint64_t seen) { return sent > seen ? sent - seen : 0; }

}  // namespace

int Main(int argc, char** argv) {
  const int seconds = RunSeconds(argc, argv);
  const auto length = std::chrono::seconds(seconds);
  const auto interval = length / kRows;
  const auto warm_up = length / 6;
  SoakSmsc smsc(kMessagesPerBind);
  SoakHost host(smsc, CycleShape{});

  std::printf("korvane soak: %d s, RSS sampled every %.1f s, warm-up %.1f s, bound +%llu KiB\n\n",
              seconds, std::chrono::duration<double>(interval).count(),
              std::chrono::duration<double>(warm_up).count(),
              static_cast<unsigned long long>(kGrowthBoundKiB));
  std::printf("%8s  %8s  %10s  %10s  %9s\n", "seconds", "cycles", "submitted", "received",
              "RSS KiB");
  const Clock::time_point start = Clock::now();
  std::vector<Sample> samples;
  const auto sample = [&] {
    const HostTotals& totals = host.totals();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    samples.push_back({elapsed, totals.cycles, totals.submitted, totals.received + totals.receipts,
                       ResidentKiB()});
    PrintRow(samples.back(), Clock::now() - start <= warm_up);
  };
  sample();
  Clock::time_point next_sample = start + interval;
  while (Clock::now() - start < length) {
    host.RunCycle();
    if (Clock::now() >= next_sample) {
      sample();
      next_sample += interval;
    }
  }
  sample();

  // The verdict: nothing missing on either side, memory flat after warm-up.
  const HostTotals& totals = host.totals();
  const SmscCounts& counts = smsc.counts();
  const uint64_t missing = totals.lost + Missing(totals.submitted, counts.submits) +
                           Missing(totals.submitted, totals.responses) +
                           Missing(counts.deliveries_sent, totals.received + totals.receipts) +
                           Missing(counts.deliveries_sent, counts.deliveries_acknowledged) +
                           Missing(counts.enquiries_sent, counts.enquiries_answered) +
                           Missing(totals.binds, counts.unbinds) + counts.unexpected;
  uint64_t baseline = 0;
  uint64_t peak = 0;
  for (const Sample& s : samples) {
    if (s.seconds < std::chrono::duration<double>(warm_up).count()) continue;
    if (baseline == 0) baseline = s.rss_kib;
    if (s.rss_kib > peak) peak = s.rss_kib;
  }
  const uint64_t growth = peak > baseline ? peak - baseline : 0;
  const double hours_at_10_per_second = static_cast<double>(totals.submitted) / (10.0 * 3600.0);

  std::printf("\ncycles %llu, binds %llu (SMSC saw %llu), unbinds answered %llu\n",
              static_cast<unsigned long long>(totals.cycles),
              static_cast<unsigned long long>(totals.binds),
              static_cast<unsigned long long>(counts.binds.load()),
              static_cast<unsigned long long>(counts.unbinds.load()));
  std::printf("submitted %llu (SMSC received %llu, responses %llu), queries %llu\n",
              static_cast<unsigned long long>(totals.submitted),
              static_cast<unsigned long long>(counts.submits.load()),
              static_cast<unsigned long long>(totals.responses),
              static_cast<unsigned long long>(totals.statuses));
  std::printf("deliver_sm sent %llu: received %llu messages + %llu receipts, acknowledged %llu\n",
              static_cast<unsigned long long>(counts.deliveries_sent.load()),
              static_cast<unsigned long long>(totals.received),
              static_cast<unsigned long long>(totals.receipts),
              static_cast<unsigned long long>(counts.deliveries_acknowledged.load()));
  std::printf("enquire_link: host %llu (LinkOk %llu), SMSC %llu (answered %llu)\n",
              static_cast<unsigned long long>(counts.enquiries_received.load()),
              static_cast<unsigned long long>(totals.links_ok),
              static_cast<unsigned long long>(counts.enquiries_sent.load()),
              static_cast<unsigned long long>(counts.enquiries_answered.load()));
  std::printf("errors %llu (besides %llu automatic enquire_link ticks inside Bind: Error 98821)\n",
              static_cast<unsigned long long>(totals.errors),
              static_cast<unsigned long long>(totals.ticks_inside_bind));
  std::printf("missing %llu; %.1f hours of a 10 submissions/s ESME\n",
              static_cast<unsigned long long>(missing), hours_at_10_per_second);
  std::printf("RSS after warm-up: %llu KiB, peak %llu KiB, growth %llu KiB (bound %llu)\n",
              static_cast<unsigned long long>(baseline), static_cast<unsigned long long>(peak),
              static_cast<unsigned long long>(growth),
              static_cast<unsigned long long>(kGrowthBoundKiB));
  if (!totals.first_problem.empty())
    std::printf("first problem: %s\n", totals.first_problem.c_str());

  const bool passed = missing == 0 && totals.errors == 0 && growth <= kGrowthBoundKiB;
  std::printf("%s\n", passed ? "PASS" : "FAIL");
  return passed ? 0 : 1;
}

}  // namespace korvane::soak

int main(int argc, char** argv) { return korvane::soak::Main(argc, argv); }
