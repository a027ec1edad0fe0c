// The text layer: a 1,000-character text encoded and split into parts, and
// those parts put back together, in GSM 7-bit and in UCS-2.
#include <benchmark/benchmark.h>

#include <string>

#include "korvane/text.hpp"
#include "micro/allocation_counter.hpp"

namespace {

// 1,000 characters: GSM 7-bit text with an extension character now and then,
// or (wide) Cyrillic, which needs UCS-2.
std::string Text(bool wide) {
  const std::string piece = wide ? "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, "
                                 : "Hello, [1] ";  // 8 and 11 characters
  const std::size_t piece_length = wide ? 8 : 11;
  std::string text;
  std::size_t length = 0;
  while (length + piece_length <= 1000) {
    text += piece;
    length += piece_length;
  }
  return text + std::string(1000 - length, 'x');
}

void Report(benchmark::State& state, uint64_t allocations_before, std::size_t parts) {
  state.counters["allocs/msg"] = benchmark::Counter(
      static_cast<double>(korvane::bench::AllocationCount() - allocations_before),
      benchmark::Counter::kAvgIterations);
  state.counters["parts"] = static_cast<double>(parts);
  state.SetItemsProcessed(state.iterations());
}

void BM_TextEncodeAndSplit(benchmark::State& state) {
  const std::string text = Text(state.range(0) != 0);
  korvane::MessageObject prototype;
  prototype.DestAddress = "447700900123";
  korvane::text::ConcatenationReferences references;
  std::size_t parts = 0;
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    korvane::text::SplitOptions options;
    options.reference = references.Next();
    auto messages = korvane::text::SplitText(text, options, prototype);
    parts = messages.size();
    benchmark::DoNotOptimize(messages.data());
  }
  Report(state, allocations, parts);
}
BENCHMARK(BM_TextEncodeAndSplit)->Arg(0)->Arg(1)->ArgName("ucs2");

void BM_TextReassemble(benchmark::State& state) {
  korvane::MessageObject prototype;
  prototype.SourceAddress = "447700900123";
  prototype.DestAddress = "12345";
  const auto parts = korvane::text::SplitText(Text(state.range(0) != 0), {}, prototype);
  korvane::text::Reassembler reassembler;
  const korvane::text::Reassembler::TimePoint now{};
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    for (const korvane::MessageObject& part : parts) {
      auto done = reassembler.Add(part, now);
      benchmark::DoNotOptimize(done.data());
    }
  }
  Report(state, allocations, parts.size());
}
BENCHMARK(BM_TextReassemble)->Arg(0)->Arg(1)->ArgName("ucs2");

}  // namespace
