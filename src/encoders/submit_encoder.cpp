#include "encoders/submit_encoder.hpp"

#include <span>
#include <string>

#include "encoders/field_checks.hpp"
#include "encoders/message_times.hpp"
#include "encoders/outgoing_tlvs.hpp"
#include "encoders/request_fields.hpp"
#include "korvane/errors.hpp"
#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {
namespace {

using vocabulary::kMaxCallbackNumberLength;
using vocabulary::kMaxNumberOfDests;
using vocabulary::kMaxShortMessageLength;
constexpr uint8_t kSmeAddressFlag = 1;
constexpr uint8_t kDistributionListFlag = 2;

bool IsDistributionList(const Recipient& recipient) {
  return recipient.DestAddressType == MultiDestAddressTypes::DistributionList;
}

// submit_multi destinations: checks every entry and counts their octets.
std::size_t CheckedDestinations(const std::vector<Recipient>& recipients) {
  if (recipients.size() > kMaxNumberOfDests) {
    throw ComponentError(6, "Overflow: " + std::to_string(recipients.size()) +
                                " recipients do not fit number_of_dests (at most " +
                                std::to_string(kMaxNumberOfDests) + ")");
  }
  std::size_t length = 1;  // number_of_dests
  for (const Recipient& recipient : recipients) {
    length += 1;  // dest_flag
    if (IsDistributionList(recipient)) {
      length += CString("dl_name", recipient.Address);
    } else {
      CheckedAddress(kDestinationNames, ValueOf(recipient.AddressTON),
                     ValueOf(recipient.AddressNPI), recipient.Address, length);
    }
  }
  return length;
}

// SME addresses first, then distribution lists, each group in list order.
void WriteDestinations(vocabulary::PduWriter& writer, const std::vector<Recipient>& recipients) {
  writer.PutOctet(static_cast<int64_t>(recipients.size()));
  for (const Recipient& recipient : recipients) {
    if (IsDistributionList(recipient)) continue;
    writer.PutOctet(kSmeAddressFlag);
    writer.PutOctet(ValueOf(recipient.AddressTON));
    writer.PutOctet(ValueOf(recipient.AddressNPI));
    writer.PutCString(recipient.Address);
  }
  for (const Recipient& recipient : recipients) {
    if (!IsDistributionList(recipient)) continue;
    writer.PutOctet(kDistributionListFlag);
    writer.PutCString(recipient.Address);
  }
}

// The short message and the payload, after the body mode is decided.
struct Body {
  std::span<const uint8_t> short_message;  // empty in payload mode
  std::span<const uint8_t> payload;
  bool payload_mode = false;
  std::string short_text;  // keeps a text form that is not stored in the message
  std::string payload_text;
};

// A variant whose text form is not empty, without building that text.
bool HasText(const Variant& value) {
  return value.IsInteger() || (value.IsText() && !value.Text().empty());
}

void ChooseBody(const MessageObject& message, bool force_no_payload, Body& body) {
  const Variant& payload = message.Payload;
  if (payload.IsBytes() || (!force_no_payload && HasText(payload))) {
    body.payload_mode = true;
    body.payload = BodyOctets(payload, body.payload_text);
    return;
  }
  const Variant& short_message = message.ShortMessage;
  body.short_message = BodyOctets(short_message, body.short_text);
  if (body.short_message.size() <= kMaxShortMessageLength) return;
  if (short_message.IsBytes()) {
    throw ComponentError(6, "Overflow: a short message of " +
                                std::to_string(body.short_message.size()) +
                                " bytes does not fit sm_length (at most " +
                                std::to_string(kMaxShortMessageLength) + "); send it as Payload");
  }
  body.short_message = body.short_message.first(kMaxShortMessageLength);
}

}  // namespace

std::vector<uint8_t> EncodeSubmit(const MessageObject& message, const SubmitContext& context,
                                  int32_t sequence_number) {
  std::size_t length = vocabulary::kHeaderLength + CString("service_type", message.ServiceType);
  const Address source =
      CheckedAddress(kSourceNames, ValueOf(message.SourceAddressTON),
                     ValueOf(message.SourceAddressNPI), message.SourceAddress, length);
  Address destination{};
  if (context.submit_multi) {
    length += CheckedDestinations(message.Recipients);
  } else {
    destination = CheckedAddress(kDestinationNames, ValueOf(message.DestAddressTON),
                                 ValueOf(message.DestAddressNPI), message.DestAddress, length);
  }
  const MessageFields fields = CheckedMessageFields(
      message, context.protocol_id, ScheduleDeliveryTime(message, context.time_zone_suffix),
      ValidityPeriod(message, context.now, context.time_zone_suffix), length);

  Body body;
  ChooseBody(message, context.force_no_payload, body);
  OutgoingTlvs tlvs;
  if (body.payload_mode) tlvs.AddMessagePayload(body.payload);
  const std::string_view callback =
      std::string_view(message.CallbackNumber).substr(0, kMaxCallbackNumberLength);
  if (!callback.empty()) {
    tlvs.AddCallbackNumber(callback, ValueOf(message.CallbackNumberTON),
                           ValueOf(message.CallbackNumberNPI));
  }
  const std::string reference = message.UserMessageReference();
  if (const int value = std::stoi(reference); value > 0)
    tlvs.AddUserMessageReference(static_cast<uint16_t>(value));
  tlvs.AddHostTlvs(message.TLVs);
  length += 1 + body.short_message.size() + tlvs.EncodedLength();

  auto writer = vocabulary::PduWriter::Computed(
      static_cast<uint32_t>(length),
      context.submit_multi ? vocabulary::kSubmitMulti : vocabulary::kSubmitSm, sequence_number);
  writer.PutCString(message.ServiceType);
  WriteAddress(writer, source);
  if (context.submit_multi) {
    WriteDestinations(writer, message.Recipients);
  } else {
    WriteAddress(writer, destination);
  }
  WriteMessageFields(writer, fields);
  writer.PutOctet(static_cast<int64_t>(body.short_message.size()));
  writer.PutOctets(body.short_message);
  tlvs.WriteTo(writer);
  return std::move(writer).Finish();
}

std::string_view SubmitTraceLabel(bool submit_multi) {
  return submit_multi ? "Sent SUBMIT_SM_MULTI" : "Sent SUBMIT_SM";
}

}  // namespace korvane::encoders
