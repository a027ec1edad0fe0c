#include "e2e/workload.hpp"

#include <string>
#include <string_view>

#include "e2e/wire.hpp"
#include "encoders/submit_encoder.hpp"

namespace korvane::bench {

MessageObject BenchMessage() {
  MessageObject message;
  message.SourceAddress = kSourceAddress;
  message.SourceAddressTON = AddressTypeOfNumbers::tonAlphanumeric;
  message.DestAddress = kDestAddress;
  message.DestAddressTON = AddressTypeOfNumbers::tonInternational;
  message.DestAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.ShortMessage = Variant(std::string(kText));
  return message;
}

std::vector<uint8_t> EncodedSubmit(int32_t sequence_number) {
  encoders::SubmitContext context;
  context.protocol_id = static_cast<int32_t>(kProtocol);
  return encoders::EncodeSubmit(BenchMessage(), context, sequence_number);
}

std::vector<uint8_t> SubmitStream(std::size_t count) {
  const std::vector<uint8_t> one = EncodedSubmit(1);
  std::vector<uint8_t> stream;
  stream.reserve(one.size() * count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = stream.size();
    stream.insert(stream.end(), one.begin(), one.end());
    Write32(stream.data() + at + 12, static_cast<uint32_t>(i + 1));
  }
  return stream;
}

std::vector<uint8_t> BenchDeliverSm() {
  // Field by field; every C-octet string keeps its terminating NUL.
  using namespace std::string_view_literals;
  constexpr std::string_view kReply = "Reply to the benchmark, 40 characters..";
  std::string body;
  body += "\0"sv;    // service_type
  body += "\1\1"sv;  // source_addr_ton, source_addr_npi
  body += kDestAddress;
  body += "\0\5\0"sv;  // end of source_addr (the mobile), dest ton, npi
  body += kSourceAddress;
  body += "\0\0\0\0"sv;  // end of destination_addr, esm_class, protocol_id, priority
  body += "\0\0"sv;      // schedule_delivery_time, validity_period
  body += "\0\0\0\0"sv;  // registered_delivery .. sm_default_msg_id
  body += static_cast<char>(kReply.size());
  body += kReply;
  return MakePdu(kDeliverSm, 0, 1, AsOctets(body));
}

}  // namespace korvane::bench
