// deliver_sm decoding: a plain mobile-originated text, and a delivery
// receipt carrying receipted_message_id, message_state and
// network_error_code.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/deliver_sm_decoder.hpp"
#include "micro/allocation_counter.hpp"

namespace {

class PduBuilder {
 public:
  PduBuilder& Octet(uint8_t value) {
    body_ += static_cast<char>(value);
    return *this;
  }
  PduBuilder& Short(uint16_t value) {
    return Octet(static_cast<uint8_t>(value >> 8)).Octet(static_cast<uint8_t>(value));
  }
  PduBuilder& Text(std::string_view text) {
    body_ += text;
    return *this;
  }
  PduBuilder& CString(std::string_view text) { return Text(text).Octet(0); }
  // Service type through sm_default_msg_id, then sm_length and the text.
  PduBuilder& Mandatory(uint8_t esm_class, std::string_view text) {
    CString("").Octet(1).Octet(1).CString("447700900123").Octet(5).Octet(0).CString("KORVANE");
    Octet(esm_class).Octet(0).Octet(0).CString("").CString("").Octet(0).Octet(0).Octet(0).Octet(0);
    return Octet(static_cast<uint8_t>(text.size())).Text(text);
  }
  std::vector<uint8_t> Pdu(uint32_t sequence) const {
    std::string pdu;
    const auto put32 = [&](uint32_t value) {
      for (int shift = 24; shift >= 0; shift -= 8) pdu += static_cast<char>(value >> shift);
    };
    put32(static_cast<uint32_t>(16 + body_.size()));
    put32(0x00000005);
    put32(0);
    put32(sequence);
    pdu += body_;
    return std::vector<uint8_t>(pdu.begin(), pdu.end());
  }

 private:
  std::string body_;  // the octets after the header
};

void Decode(benchmark::State& state, const std::vector<uint8_t>& pdu) {
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    auto decoded = korvane::decoders::DecodeDeliverSm(pdu);
    benchmark::DoNotOptimize(decoded.message.SequenceNumber);
  }
  state.counters["allocs/pdu"] =
      benchmark::Counter(static_cast<double>(korvane::bench::AllocationCount() - allocations),
                         benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pdu.size()));
}

void BM_DecodeDeliverSmText(benchmark::State& state) {
  Decode(state, PduBuilder().Mandatory(0x00, "Reply to the benchmark, 40 characters..").Pdu(7));
}
BENCHMARK(BM_DecodeDeliverSmText);

void BM_DecodeDeliverSmReceipt(benchmark::State& state) {
  PduBuilder receipt;
  receipt.Mandatory(0x04,
                    "id:0000ABCD sub:001 dlvrd:001 submit date:2406011200 done date:2406011201 "
                    "stat:DELIVRD err:000 text:Benchmark message");
  receipt.Short(0x001E).Short(9).CString("0000ABCD");  // receipted_message_id
  receipt.Short(0x0427).Short(1).Octet(2);             // message_state: delivered
  receipt.Short(0x0423).Short(3).Octet(1).Short(0);    // network_error_code
  Decode(state, receipt.Pdu(8));
}
BENCHMARK(BM_DecodeDeliverSmReceipt);

}  // namespace
