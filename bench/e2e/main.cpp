// korvane_e2e_bench: the library against the raw limits of this machine and
// the npm `smpp` peer, on loopback against one sink SMSC, printed as one
// table. Options: --messages=N (100000), --waited=N (20000), --repeats=N (5),
// --wait-seconds=N (3), --node-script=PATH, --node-modules=PATH, and
// --only=TEXT to run just the rows whose name holds TEXT (for profiling).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "e2e/library_runs.hpp"
#include "e2e/node_peer.hpp"
#include "e2e/raw_baselines.hpp"
#include "e2e/report.hpp"
#include "e2e/sink_smsc.hpp"
#include "e2e/workload.hpp"

namespace korvane::bench {
namespace {

struct Options {
  std::size_t messages = 100000;
  std::size_t waited = 20000;
  int repeats = 5;
  int16_t wait_seconds = 3;
  std::string only;
  NodePeer node{"bench/node/smpp_submit.js", "build-bench/npm/node_modules"};
};

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const auto value = [&](std::string_view name) -> const char* {
      return argument.rfind(name, 0) == 0 ? argv[i] + name.size() : nullptr;
    };
    if (const char* v = value("--messages="))
      options.messages = std::strtoul(v, nullptr, 10);
    else if (const char* v = value("--waited="))
      options.waited = std::strtoul(v, nullptr, 10);
    else if (const char* v = value("--repeats="))
      options.repeats = std::atoi(v);
    else if (const char* v = value("--wait-seconds="))
      options.wait_seconds = static_cast<int16_t>(std::atoi(v));
    else if (const char* v = value("--node-script="))
      options.node.script = v;
    else if (const char* v = value("--node-modules="))
      options.node.node_modules = v;
    else if (const char* v = value("--only="))
      options.only = v;
    else
      std::fprintf(stderr, "ignored argument %s\n", argv[i]);
  }
  return options;
}

// Whether the sink has seen every submit_sm (or, when it streams, every
// deliver_sm_resp) of the run; what a client wrote just before it closed may
// still be on its way, so the sink gets a moment.
bool SinkSawEverything(const SinkSmsc& sink, const SinkSmsc::Setup& setup, std::size_t submits,
                       std::size_t responses, std::size_t messages) {
  const auto seen = [&] {
    return setup.deliveries > 0 ? sink.DeliveryResponses() - responses >= messages
                                : sink.SubmitsReceived() - submits >= messages;
  };
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
  while (!seen() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return seen();
}

// One run with the sink set up for it, adding the sink's processor time and
// the memory peak of the process to what the run measured itself.
template <typename Run>
Sample Measured(SinkSmsc& sink, SinkSmsc::Setup setup, Run run) {
  const std::size_t submits = sink.SubmitsReceived();
  const std::size_t responses = sink.DeliveryResponses();
  sink.Prepare(setup);
  ResetPeakRss();
  const double sink_start = sink.CpuSeconds();
  Sample sample = run();
  sample.sink_cpu = sink.CpuSeconds() - sink_start;
  if (sample.peak_rss == 0) sample.peak_rss = PeakRssBytes();
  if (!SinkSawEverything(sink, setup, submits, responses, sample.messages)) {
    std::fprintf(stderr, "the sink did not see all %zu messages of the run\n", sample.messages);
    sample.complete = false;
  }
  return sample;
}

struct Scenario {
  std::string group;
  std::string name;
  std::function<Sample()> run;
  std::vector<Sample> samples;
};

}  // namespace

int Main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  SinkSmsc sink;
  const uint16_t port = sink.Port();
  const std::size_t n = options.messages;
  const std::size_t pdu_size = EncodedSubmit(1).size();
  const SinkSmsc::Setup answer{};
  SinkSmsc::Setup stream;
  stream.deliveries = n;
  stream.deliver = BenchDeliverSm();
  SinkSmsc::Setup silent;
  silent.silent = true;
  std::string node_skipped;

  const auto raw_submit = [&, n, pdu_size](bool batched) {
    return Measured(sink, answer, [&, batched] {
      const std::vector<uint8_t> octets = SubmitStream(n);
      return RawSubmit(port, octets, pdu_size, n, batched);
    });
  };
  std::vector<Scenario> scenarios = {
      {"submission, no wait",
       "raw writer, one PDU per send()",
       [&] { return raw_submit(false); },
       {}},
      {"submission, no wait",
       "raw writer, 64 KiB per send()",
       [&] { return raw_submit(true); },
       {}},
      {"submission, no wait",
       "KorvaneSMPP SendMessage(m), no wait",
       [&] { return Measured(sink, answer, [&] { return LibrarySubmitNoWait(port, n); }); },
       {}},
      {"submission, no wait",
       "npm smpp 0.5.1 (node), no wait",
       [&] {
         return Measured(sink, answer, [&] {
           return RunNodeSubmit(options.node, port, n, node_skipped).value_or(Sample{});
         });
       },
       {}},
      {"submission, waiting for each response",
       "raw ping-pong, one request in flight",
       [&] { return Measured(sink, answer, [&] { return RawPingPong(port, options.waited); }); },
       {}},
      {"submission, waiting for each response",
       "KorvaneSMPP SendMessage(m, true)",
       [&] {
         return Measured(sink, answer, [&] { return LibrarySubmitWaited(port, options.waited); });
       },
       {}},
      {"reception",
       "raw reader, one deliver_sm_resp per send()",
       [&] { return Measured(sink, stream, [&] { return RawReception(port, n, false); }); },
       {}},
      {"reception",
       "raw reader, responses batched per read",
       [&] { return Measured(sink, stream, [&] { return RawReception(port, n, true); }); },
       {}},
      {"reception",
       "KorvaneSMPP MessageReceived",
       [&] { return Measured(sink, stream, [&] { return LibraryReception(port, n); }); },
       {}},
  };
  std::erase_if(scenarios,
                [&](const Scenario& s) { return s.name.find(options.only) == std::string::npos; });
  const std::string wait_name =
      "KorvaneSMPP " + std::to_string(options.wait_seconds) + " s wait ending by timeout";
  const bool run_wait = wait_name.find(options.only) != std::string::npos;

  std::printf("submit_sm %zu octets, deliver_sm %zu octets, %zu messages per run\n", pdu_size,
              BenchDeliverSm().size(), n);
  for (int repeat = 0; repeat < options.repeats; ++repeat) {
    for (Scenario& scenario : scenarios) {
      if (!node_skipped.empty() && scenario.name.rfind("npm", 0) == 0) continue;
      std::fprintf(stderr, "run %d: %s\n", repeat + 1, scenario.name.c_str());
      scenario.samples.push_back(scenario.run());
    }
  }
  Sample waiting;
  if (run_wait) {
    waiting =
        Measured(sink, silent, [&] { return LibraryTimeoutWait(port, options.wait_seconds); });
  }

  std::vector<Row> rows;
  for (const Scenario& scenario : scenarios) {
    Row row;
    row.group = scenario.group;
    row.name = scenario.name;
    if (!node_skipped.empty() && scenario.name.rfind("npm", 0) == 0) {
      row.note = "n/a (" + node_skipped + ")";
    } else {
      row.sample = Median(scenario.samples);
    }
    rows.push_back(row);
  }
  // Each group's first raw row is its one-PDU-per-call limit, the second
  // (where there is one) its batched limit.
  for (Row& row : rows) {
    std::vector<const Row*> limits;
    for (const Row& other : rows)
      if (other.group == row.group && other.name.rfind("raw", 0) == 0 && other.sample)
        limits.push_back(&other);
    if (!limits.empty()) row.one_call_limit = limits[0]->sample->Rate();
    if (limits.size() > 1) row.batch_limit = limits[1]->sample->Rate();
  }
  if (run_wait) {
    Row wait_row;
    wait_row.group = "waiting";
    wait_row.name = wait_name;
    wait_row.sample = waiting;
    wait_row.is_wait = true;
    rows.push_back(wait_row);
  }
  PrintTable(rows, options.repeats);
  PrintTargets(rows);
  return 0;
}

}  // namespace korvane::bench

int main(int argc, char** argv) { return korvane::bench::Main(argc, argv); }
