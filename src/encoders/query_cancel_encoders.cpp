#include "encoders/query_cancel_encoders.hpp"

#include "encoders/request_fields.hpp"
#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {
namespace {

Address CheckedSource(const MessageObject& message, std::size_t& length) {
  return CheckedAddress(kSourceNames, ValueOf(message.SourceAddressTON),
                        ValueOf(message.SourceAddressNPI), message.SourceAddress, length);
}

}  // namespace

std::vector<uint8_t> EncodeQuery(const MessageObject& message, int32_t sequence_number) {
  std::size_t length = vocabulary::kHeaderLength + CString("message_id", message.MessageID);
  const Address source = CheckedSource(message, length);
  auto writer = vocabulary::PduWriter::Computed(static_cast<uint32_t>(length), vocabulary::kQuerySm,
                                                sequence_number);
  writer.PutCString(message.MessageID);
  WriteAddress(writer, source);
  return std::move(writer).Finish();
}

std::vector<uint8_t> EncodeCancel(const MessageObject& message, int32_t sequence_number) {
  std::size_t length = vocabulary::kHeaderLength + CString("service_type", message.ServiceType) +
                       CString("message_id", message.MessageID);
  const Address source = CheckedSource(message, length);
  const Address destination =
      CheckedAddress(kDestinationNames, ValueOf(message.DestAddressTON),
                     ValueOf(message.DestAddressNPI), message.DestAddress, length);
  auto writer = vocabulary::PduWriter::Computed(static_cast<uint32_t>(length),
                                                vocabulary::kCancelSm, sequence_number);
  writer.PutCString(message.ServiceType);
  writer.PutCString(message.MessageID);
  WriteAddress(writer, source);
  WriteAddress(writer, destination);
  return std::move(writer).Finish();
}

}  // namespace korvane::encoders
