#include "decoders/deliver_sm_decoder.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "vocabulary/pdu_reader.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::decoders {
namespace {

using vocabulary::kTagCallbackNum;
using vocabulary::kTagMessagePayload;
using vocabulary::kTagMessageState;
using vocabulary::kTagUserMessageReference;

std::string TextOf(std::span<const uint8_t> octets) {
  return std::string(octets.begin(), octets.end());
}

Variant BytesOf(std::span<const uint8_t> octets) {
  return Variant(std::vector<uint8_t>(octets.begin(), octets.end()));
}

// A C-octet string field; an empty one leaves `field` as it is.
void ReadCStringInto(vocabulary::PduReader& reader, std::string& field) {
  std::string text = reader.ReadCString();
  if (!text.empty()) field = std::move(text);
}

template <typename Enum>
Enum ReadOctetAs(vocabulary::PduReader& reader) {
  return static_cast<Enum>(reader.ReadOctet());
}

// service_type and the two addresses, shared by deliver_sm and data_sm.
void ReadAddressFields(vocabulary::PduReader& reader, MessageObject& message) {
  ReadCStringInto(reader, message.ServiceType);
  message.SourceAddressTON = ReadOctetAs<AddressTypeOfNumbers>(reader);
  message.SourceAddressNPI = ReadOctetAs<AddressNumberPlanIndicators>(reader);
  std::string source = reader.ReadCString();
  std::erase(source, '\x01');
  if (!source.empty()) message.SourceAddress = std::move(source);
  message.DestAddressTON = ReadOctetAs<AddressTypeOfNumbers>(reader);
  message.DestAddressNPI = ReadOctetAs<AddressNumberPlanIndicators>(reader);
  ReadCStringInto(reader, message.DestAddress);
}

// Fields 1 to 16 of the body, up to and including sm_default_msg_id.
void ReadMandatoryFields(vocabulary::PduReader& reader, MessageObject& message) {
  ReadAddressFields(reader, message);
  message.MessageType = ReadOctetAs<MessageTypes>(reader);
  message.ProtocolID = reader.ReadOctet();
  message.Priority = ReadOctetAs<PriorityFlags>(reader);
  reader.SkipCString();  // schedule_delivery_time
  reader.SkipCString();  // validity_period
  message.RegisteredDelivery = ReadOctetAs<RegisteredDeliveryTypes>(reader);
  reader.Skip(1);  // replace_if_present_flag
  message.DataCoding = ReadOctetAs<SMSDataCodingSchemes>(reader);
  reader.Skip(1);  // sm_default_msg_id
}

// A body of `length` octets at the reader's position: its text and octets
// when the PDU holds it all (the reader moves past it), else an empty text
// and `length` zero octets (the reader stays). False when it did not fit.
bool ReadBody(vocabulary::PduReader& reader, std::size_t length, Variant& text, Variant& bytes) {
  if (length > reader.Remaining()) {
    text = std::string();
    bytes = Variant(std::vector<uint8_t>(length, 0));
    return false;
  }
  const auto octets = reader.ReadOctets(length);
  text = TextOf(octets);
  bytes = BytesOf(octets);
  return true;
}

// One optional parameter whose value lies wholly inside the PDU, read from
// its own value so that no field can reach into the next parameter. Only
// the first callback_num fills the callback fields; a further one (the
// parameter may repeat) goes to the TLV list instead of being run into the
// first number.
void ReadParameter(uint16_t tag, std::span<const uint8_t> value, MessageObject& message,
                   bool& callback_read) {
  if (tag == kTagCallbackNum && std::exchange(callback_read, true)) {
    message.AddOptionalParamString(tag, TextOf(value));
    return;
  }
  vocabulary::PduReader field(value);
  switch (tag) {
    case kTagUserMessageReference:
      message.UserMessageReference(std::to_string(field.ReadShort()));
      return;
    case kTagCallbackNum:
      field.Skip(1);  // digit_mode_indicator
      message.CallbackNumberTON = ReadOctetAs<AddressTypeOfNumbers>(field);
      message.CallbackNumberNPI = ReadOctetAs<AddressNumberPlanIndicators>(field);
      message.CallbackNumber = TextOf(field.ReadOctets(field.Remaining()));
      return;
    case kTagMessageState:
      message.MessageState = ReadOctetAs<MessageStates>(field);
      return;
    default:
      message.AddOptionalParamString(tag, TextOf(value));
      return;
  }
}

// The optional parameters from the reader's position while at least five
// octets remain. Throws ComponentError 9 for a parameter that runs past the
// PDU or is too short for its value.
void ReadParameters(vocabulary::PduReader& reader, MessageObject& message) {
  bool callback_read = false;
  while (reader.Remaining() > vocabulary::kTlvHeaderLength) {
    const uint16_t tag = reader.ReadShort();
    const uint16_t length = reader.ReadShort();
    if (tag == kTagMessagePayload) {
      if (!ReadBody(reader, length, message.Payload, message.PayloadBytes)) return;
      continue;
    }
    ReadParameter(tag, reader.ReadOctets(length), message, callback_read);
  }
}

}  // namespace

namespace {

// The header's sequence_number into the message; one of 2^31 or more is a
// fault and leaves 0.
void ReadSequenceNumber(std::span<const uint8_t> pdu, DecodedDeliverSm& decoded) {
  try {
    decoded.message.SequenceNumber = vocabulary::SequenceNumberOf(vocabulary::ReadHeader(pdu));
  } catch (const ComponentError& fault) {
    decoded.faults.push_back(fault);
  }
}

}  // namespace

DecodedDeliverSm DecodeDataSm(std::span<const uint8_t> pdu) {
  DecodedDeliverSm decoded;
  MessageObject& message = decoded.message;
  vocabulary::PduReader reader(pdu);
  reader.Seek(vocabulary::kHeaderLength);
  ReadAddressFields(reader, message);
  message.MessageType = ReadOctetAs<MessageTypes>(reader);
  message.RegisteredDelivery = ReadOctetAs<RegisteredDeliveryTypes>(reader);
  message.DataCoding = ReadOctetAs<SMSDataCodingSchemes>(reader);
  ReadSequenceNumber(pdu, decoded);
  try {
    ReadParameters(reader, message);
  } catch (const ComponentError& fault) {
    decoded.faults.push_back(fault);
  }
  return decoded;
}

DecodedDeliverSm DecodeDeliverSm(std::span<const uint8_t> pdu) {
  DecodedDeliverSm decoded;
  MessageObject& message = decoded.message;
  vocabulary::PduReader reader(pdu);
  const vocabulary::PduHeader header = vocabulary::ReadHeader(pdu);
  reader.Seek(vocabulary::kHeaderLength);
  ReadMandatoryFields(reader, message);
  try {
    message.SequenceNumber = vocabulary::SequenceNumberOf(header);
  } catch (const ComponentError& fault) {
    decoded.faults.push_back(fault);
  }

  decoded.declared_length = reader.ReadOctet();
  if (!ReadBody(reader, decoded.declared_length, message.ShortMessage, message.ShortMessageBytes))
    return decoded;
  decoded.received_length = decoded.declared_length;
  try {
    ReadParameters(reader, message);
  } catch (const ComponentError& fault) {
    decoded.faults.push_back(fault);
  }
  return decoded;
}

}  // namespace korvane::decoders
