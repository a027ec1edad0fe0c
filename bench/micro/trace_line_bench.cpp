// The trace line of a 200-octet PDU: label, TAB, three characters per octet.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "diagnostics/trace_format.hpp"
#include "micro/allocation_counter.hpp"

namespace {

void BM_TraceLine200Octets(benchmark::State& state) {
  std::vector<uint8_t> pdu(200);
  for (std::size_t i = 0; i < pdu.size(); ++i) pdu[i] = static_cast<uint8_t>(i * 37);
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    std::string line = korvane::diagnostics::FormatTraceLine("Received DELIVER_SM", pdu);
    benchmark::DoNotOptimize(line);
  }
  state.counters["allocs/line"] =
      benchmark::Counter(static_cast<double>(korvane::bench::AllocationCount() - allocations),
                         benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pdu.size()));
}
BENCHMARK(BM_TraceLine200Octets);

}  // namespace
