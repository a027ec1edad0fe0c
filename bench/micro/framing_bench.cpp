// Framing: a received stream of mixed PDUs (responses, deliver_sm, receipts
// with TLVs, enquire_link) cut at random points, as TCP hands it over, fed
// through the framer. The argument is the largest piece; pieces are 1 to
// that many octets, from a fixed seed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "micro/allocation_counter.hpp"
#include "session/pdu_framer.hpp"

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutPdu(std::vector<uint8_t>& out, uint32_t command_id, uint32_t sequence, std::size_t body) {
  Put32(out, static_cast<uint32_t>(16 + body));
  Put32(out, command_id);
  Put32(out, 0);
  Put32(out, sequence);
  for (std::size_t i = 0; i < body; ++i) out.push_back(static_cast<uint8_t>('a' + i % 26));
}

// About 1 MiB of PDUs of the sizes a transceiver receives.
std::vector<uint8_t> MixedStream(std::size_t& pdus) {
  std::vector<uint8_t> stream;
  pdus = 0;
  for (uint32_t sequence = 1; stream.size() < 1024 * 1024; ++sequence) {
    switch (sequence % 5) {
      case 0:
        PutPdu(stream, 0x80000004, sequence, 9);
        break;  // submit_sm_resp
      case 1:
        PutPdu(stream, 0x00000005, sequence, 75);
        break;  // deliver_sm, text
      case 2:
        PutPdu(stream, 0x00000005, sequence, 140);
        break;  // receipt with TLVs
      case 3:
        PutPdu(stream, 0x00000015, sequence, 0);
        break;  // enquire_link
      default:
        PutPdu(stream, 0x80000004, sequence, 9);
        break;
    }
    ++pdus;
  }
  return stream;
}

std::vector<std::size_t> RandomCuts(std::size_t total, std::size_t largest) {
  std::mt19937 generator(20240601);
  std::uniform_int_distribution<std::size_t> piece(1, largest);
  std::vector<std::size_t> sizes;
  for (std::size_t at = 0; at < total;) {
    const std::size_t size = std::min(piece(generator), total - at);
    sizes.push_back(size);
    at += size;
  }
  return sizes;
}

void BM_FrameMixedStream(benchmark::State& state) {
  std::size_t pdus = 0;
  const std::vector<uint8_t> stream = MixedStream(pdus);
  const std::vector<std::size_t> cuts =
      RandomCuts(stream.size(), static_cast<std::size_t>(state.range(0)));
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    korvane::session::PduFramer framer;
    std::size_t framed = 0;
    std::size_t at = 0;
    for (const std::size_t size : cuts) {
      auto result = framer.Feed(std::span<const uint8_t>(stream).subspan(at, size));
      framed += result.pdus.size();
      at += size;
    }
    if (framed != pdus) state.SkipWithError("framer lost PDUs");
    benchmark::DoNotOptimize(framed);
  }
  // Per PDU: its own buffer, plus the lists the pieces are returned in.
  state.counters["allocs/pdu"] =
      benchmark::Counter(static_cast<double>(korvane::bench::AllocationCount() - allocations) /
                             static_cast<double>(pdus),
                         benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pdus));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FrameMixedStream)->Arg(64)->Arg(1500)->Arg(65536);

}  // namespace
