// The encoders of the session-level PDUs: the three bind requests, the PDUs
// that are a bare header (enquire_link, enquire_link_resp, unbind,
// unbind_resp), deliver_sm_resp, data_sm_resp and generic_nack. Pure: the caller traces and sends.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "korvane/errors.hpp"

namespace korvane::encoders {

// The fields of a bind request, as the session's settings hold them.
struct BindFields {
  uint32_t command_id = 0;  // bind_receiver, bind_transmitter or bind_transceiver
  int32_t sequence_number = 0;
  std::string_view system_id{};
  std::string_view password{};
  std::string_view system_type{};
  int32_t interface_version = 0;
  int32_t addr_ton = 0;
  int32_t addr_npi = 0;
  std::string_view address_range{};
};

struct EncodedBind {
  std::vector<uint8_t> pdu;
  // One ComponentError 6 "Overflow" for each of interface_version, addr_ton
  // and addr_npi outside 0..255, in that order; such an octet is sent as
  // 0x00 and the PDU is built all the same.
  std::vector<ComponentError> faults;
};

// system_id, password and system_type as C-octet strings, the three octets,
// then address_range.
EncodedBind EncodeBind(const BindFields& fields);

// A PDU of the 16-octet header alone, with status 0.
std::vector<uint8_t> EncodeHeaderOnly(uint32_t command_id, uint32_t sequence_number);

// The 17-octet deliver_sm_resp with status 0 and an empty message_id.
std::vector<uint8_t> EncodeDeliverSmResp(uint32_t sequence_number);
// The same for data_sm_resp.
std::vector<uint8_t> EncodeDataSmResp(uint32_t sequence_number);

// A generic_nack: the bare header with this status and sequence_number.
std::vector<uint8_t> EncodeGenericNack(uint32_t command_status, uint32_t sequence_number);

}  // namespace korvane::encoders
