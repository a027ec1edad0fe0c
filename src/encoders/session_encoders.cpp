#include "encoders/session_encoders.hpp"

#include <utility>

#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {
namespace {

// Writes one octet field; a value outside 0..255 leaves 0x00 and is kept as
// a fault.
void PutOctetField(vocabulary::PduWriter& writer, int32_t value,
                   std::vector<ComponentError>& faults) {
  try {
    writer.PutOctet(value);
  } catch (const ComponentError& fault) {
    faults.push_back(fault);
  }
}

}  // namespace

EncodedBind EncodeBind(const BindFields& fields) {
  // The header, three C-octet strings, three octets and the address range.
  const std::size_t length = vocabulary::kHeaderLength + fields.system_id.size() + 1 +
                             fields.password.size() + 1 + fields.system_type.size() + 1 + 3 +
                             fields.address_range.size() + 1;
  auto writer = vocabulary::PduWriter::Computed(static_cast<uint32_t>(length), fields.command_id,
                                                static_cast<uint32_t>(fields.sequence_number));
  EncodedBind encoded;
  writer.PutCString(fields.system_id);
  writer.PutCString(fields.password);
  writer.PutCString(fields.system_type);
  PutOctetField(writer, fields.interface_version, encoded.faults);
  PutOctetField(writer, fields.addr_ton, encoded.faults);
  PutOctetField(writer, fields.addr_npi, encoded.faults);
  writer.PutCString(fields.address_range);
  encoded.pdu = std::move(writer).Finish();
  return encoded;
}

std::vector<uint8_t> EncodeHeaderOnly(uint32_t command_id, uint32_t sequence_number) {
  return vocabulary::PduWriter::Computed(vocabulary::kHeaderLength, command_id, sequence_number)
      .Finish();
}

namespace {

std::vector<uint8_t> EncodeEmptyIdResp(uint32_t command_id, uint32_t sequence_number) {
  auto writer =
      vocabulary::PduWriter::Computed(vocabulary::kHeaderLength + 1, command_id, sequence_number);
  writer.PutCString("");  // message_id
  return std::move(writer).Finish();
}

}  // namespace

std::vector<uint8_t> EncodeDeliverSmResp(uint32_t sequence_number) {
  return EncodeEmptyIdResp(vocabulary::kDeliverSmResp, sequence_number);
}

std::vector<uint8_t> EncodeDataSmResp(uint32_t sequence_number) {
  return EncodeEmptyIdResp(vocabulary::kDataSmResp, sequence_number);
}

std::vector<uint8_t> EncodeGenericNack(uint32_t command_status, uint32_t sequence_number) {
  std::vector<uint8_t> pdu = EncodeHeaderOnly(vocabulary::kGenericNack, sequence_number);
  for (std::size_t octet = 0; octet < 4; ++octet)
    pdu[vocabulary::kCommandStatusOffset + octet] =
        static_cast<uint8_t>(command_status >> (24 - 8 * octet));
  return pdu;
}

}  // namespace korvane::encoders
