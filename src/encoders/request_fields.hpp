// The checked fields the request encoders share: C-octet strings,
// addresses, and the run of message fields from esm_class to
// sm_default_msg_id. Each check counts the octets its fields take in the
// PDU, so that the length is known before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "korvane/message_object.hpp"
#include "vocabulary/pdu_writer.hpp"

namespace korvane::encoders {

template <typename Enum>
int64_t ValueOf(Enum value) {
  return static_cast<int64_t>(value);
}

// A C-octet string field, checked (ComponentError 5 for a NUL inside); its
// octets in the PDU, the NUL included.
std::size_t CString(std::string_view field, std::string_view text);

// The names of an address's three fields, for the refusal texts.
struct AddressNames {
  std::string_view ton;
  std::string_view npi;
  std::string_view address;
};
inline constexpr AddressNames kSourceNames{"source_addr_ton", "source_addr_npi", "source_addr"};
inline constexpr AddressNames kDestinationNames{"dest_addr_ton", "dest_addr_npi",
                                                "destination_addr"};

// An address whose one-octet fields fit.
struct Address {
  uint8_t ton;
  uint8_t npi;
  std::string_view text;
};

// Checks the address (ComponentError 6 for a TON or NPI outside 0..255, 5
// for a NUL in the text) and adds the octets it takes to `length`.
Address CheckedAddress(const AddressNames& names, int64_t ton, int64_t npi, std::string_view text,
                       std::size_t& length);

// TON, NPI and the address as a C-octet string.
void WriteAddress(vocabulary::PduWriter& writer, const Address& address);

// esm_class (MessageMode + MessageType), protocol_id, priority_flag,
// schedule_delivery_time, validity_period, registered_delivery,
// replace_if_present_flag, data_coding and sm_default_msg_id.
struct MessageFields {
  uint8_t esm_class;
  uint8_t protocol_id;
  uint8_t priority;
  std::string schedule;
  std::string validity;
  uint8_t registered_delivery;
  uint8_t replace_if_present;
  uint8_t data_coding;
  uint8_t default_msg_id;
};

// Checks the fields (ComponentError 6 for a value outside 0..255, 5 for a
// NUL in a time string) and adds the octets they take to `length`.
MessageFields CheckedMessageFields(const MessageObject& message, int64_t protocol_id,
                                   std::string schedule, std::string validity, std::size_t& length);
void WriteMessageFields(vocabulary::PduWriter& writer, const MessageFields& fields);

}  // namespace korvane::encoders
