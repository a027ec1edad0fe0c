// submit_sm encoding: a text message, a 1000-octet payload, and a message
// with a callback number, a user reference and three host TLVs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "encoders/submit_encoder.hpp"
#include "micro/allocation_counter.hpp"

namespace {

using korvane::MessageObject;
using korvane::Variant;

MessageObject Addressed() {
  MessageObject message;
  message.SourceAddress = "KORVANE";
  message.SourceAddressTON = korvane::AddressTypeOfNumbers::tonAlphanumeric;
  message.DestAddress = "447700900123";
  message.DestAddressTON = korvane::AddressTypeOfNumbers::tonInternational;
  message.DestAddressNPI = korvane::AddressNumberPlanIndicators::npiISDN;
  return message;
}

korvane::encoders::SubmitContext Context() {
  korvane::encoders::SubmitContext context;
  context.protocol_id = 52;
  context.time_zone_suffix = "00+";
  return context;
}

void Encode(benchmark::State& state, const MessageObject& message) {
  const auto context = Context();
  int32_t sequence = 0;
  std::size_t octets = 0;
  const uint64_t allocations = korvane::bench::AllocationCount();
  for (auto _ : state) {
    std::vector<uint8_t> pdu = korvane::encoders::EncodeSubmit(message, context, ++sequence);
    octets += pdu.size();
    benchmark::DoNotOptimize(pdu.data());
  }
  state.counters["allocs/pdu"] =
      benchmark::Counter(static_cast<double>(korvane::bench::AllocationCount() - allocations),
                         benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(octets));
}

void BM_EncodeSubmitText(benchmark::State& state) {
  MessageObject message = Addressed();
  message.ShortMessage =
      Variant(std::string("Benchmark message from KorvaneSMPP, 60 characters of text.."));
  Encode(state, message);
}
BENCHMARK(BM_EncodeSubmitText);

void BM_EncodeSubmitPayload(benchmark::State& state) {
  MessageObject message = Addressed();
  message.Payload = Variant(std::vector<uint8_t>(1000, 0x5A));
  Encode(state, message);
}
BENCHMARK(BM_EncodeSubmitPayload);

void BM_EncodeSubmitWithTlvs(benchmark::State& state) {
  MessageObject message = Addressed();
  message.ShortMessage = Variant(std::string("Benchmark message with optional parameters"));
  message.CallbackNumber = "447700900999";
  message.UserMessageReference("4711");
  message.RegisteredDelivery = korvane::RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  message.AddOptionalParamString(0x1401, "operator-tag");
  message.AddOptionalParamString(0x1402, "billing-0001");
  message.AddOptionalParamByte(0x0204, Variant(std::vector<uint8_t>{0x12, 0x34}));
  Encode(state, message);
}
BENCHMARK(BM_EncodeSubmitWithTlvs);

}  // namespace
