#include "encoders/deliver_encoder.hpp"

#include <span>
#include <string>

#include "encoders/field_checks.hpp"
#include "encoders/message_times.hpp"
#include "encoders/outgoing_tlvs.hpp"
#include "encoders/request_fields.hpp"
#include "korvane/errors.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {
namespace {

using vocabulary::kMaxCallbackNumberLength;
using vocabulary::kMaxShortMessageLength;

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

std::vector<uint8_t> EncodeDeliver(const MessageObject& message, const DeliverContext& context,
                                   int32_t sequence_number) {
  std::size_t length = vocabulary::kHeaderLength + CString("service_type", message.ServiceType);
  const Address source =
      CheckedAddress(kSourceNames, ValueOf(message.SourceAddressTON),
                     ValueOf(message.SourceAddressNPI), message.SourceAddress, length);
  const Address destination =
      CheckedAddress(kDestinationNames, ValueOf(message.DestAddressTON),
                     ValueOf(message.DestAddressNPI), message.DestAddress, length);
  const MessageFields fields = CheckedMessageFields(
      message, context.protocol_id, ScheduleDeliveryTime(message, context.time_zone_suffix),
      AbsoluteValidityInHours(message, context.now, context.time_zone_suffix), length);

  std::string text_form;
  const std::span<const uint8_t> body = BodyOctets(message.ShortMessage, text_form);
  const bool payload_mode = message.MessageType != MessageTypes{} && !context.force_no_payload;
  OutgoingTlvs tlvs;
  std::span<const uint8_t> short_message;
  if (payload_mode) {
    tlvs.AddMessagePayload(body);
  } else if (body.size() > kMaxShortMessageLength) {
    throw ComponentError(6, "Overflow: a short message of " + std::to_string(body.size()) +
                                " octets does not fit sm_length (at most " +
                                std::to_string(kMaxShortMessageLength) + ")");
  } else {
    short_message = body;
  }
  const std::string_view callback =
      std::string_view(message.CallbackNumber).substr(0, kMaxCallbackNumberLength);
  if (!IsBlank(callback)) tlvs.AddCallbackNumber(callback, source.ton, source.npi);
  length += 1 + short_message.size() + tlvs.EncodedLength();

  auto writer = vocabulary::PduWriter::Computed(static_cast<uint32_t>(length),
                                                vocabulary::kDeliverSm, sequence_number);
  writer.PutCString(message.ServiceType);
  WriteAddress(writer, source);
  WriteAddress(writer, destination);
  WriteMessageFields(writer, fields);
  writer.PutOctet(static_cast<int64_t>(short_message.size()));
  writer.PutOctets(short_message);
  tlvs.WriteTo(writer);
  return std::move(writer).Finish();
}

}  // namespace korvane::encoders
