#include "encoders/request_fields.hpp"

#include <utility>

#include "encoders/field_checks.hpp"

namespace korvane::encoders {

std::size_t CString(std::string_view field, std::string_view text) {
  CheckCOctetString(field, text);
  return text.size() + 1;
}

Address CheckedAddress(const AddressNames& names, int64_t ton, int64_t npi, std::string_view text,
                       std::size_t& length) {
  Address address{OctetField(names.ton, ton), OctetField(names.npi, npi), text};
  length += 2 + CString(names.address, text);
  return address;
}

void WriteAddress(vocabulary::PduWriter& writer, const Address& address) {
  writer.PutOctet(address.ton);
  writer.PutOctet(address.npi);
  writer.PutCString(address.text);
}

MessageFields CheckedMessageFields(const MessageObject& message, int64_t protocol_id,
                                   std::string schedule, std::string validity,
                                   std::size_t& length) {
  MessageFields fields{
      .esm_class =
          OctetField("esm_class", ValueOf(message.MessageMode) + ValueOf(message.MessageType)),
      .protocol_id = OctetField("protocol_id", protocol_id),
      .priority = OctetField("priority_flag", ValueOf(message.Priority)),
      .schedule = std::move(schedule),
      .validity = std::move(validity),
      .registered_delivery = OctetField("registered_delivery", ValueOf(message.RegisteredDelivery)),
      .replace_if_present = message.ReplaceIfPresent ? uint8_t{1} : uint8_t{0},
      .data_coding = OctetField("data_coding", ValueOf(message.DataCoding)),
      .default_msg_id = OctetField("sm_default_msg_id", message.DefaultMsgId()),
  };
  length += 7 + CString("schedule_delivery_time", fields.schedule) +
            CString("validity_period", fields.validity);
  return fields;
}

void WriteMessageFields(vocabulary::PduWriter& writer, const MessageFields& fields) {
  writer.PutOctet(fields.esm_class);
  writer.PutOctet(fields.protocol_id);
  writer.PutOctet(fields.priority);
  writer.PutCString(fields.schedule);
  writer.PutCString(fields.validity);
  writer.PutOctet(fields.registered_delivery);
  writer.PutOctet(fields.replace_if_present);
  writer.PutOctet(fields.data_coding);
  writer.PutOctet(fields.default_msg_id);
}

}  // namespace korvane::encoders
