// The deliver_sm decoder: one received deliver_sm (header included) to a new
// MessageObject. Pure: the caller acknowledges the PDU, raises the message
// and reports the faults this returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"

namespace korvane::decoders {

struct DecodedDeliverSm {
  MessageObject message;
  // sm_length, and the octets of short_message the PDU actually held: 0
  // when it declared more than it holds.
  std::size_t declared_length = 0;
  std::size_t received_length = 0;
  // Faults that did not stop the decoding, in the order they were met: an
  // optional parameter that runs past the PDU or is too short for its value
  // (9; reading parameters stopped there), a sequence_number of 2^31 or more
  // (6; SequenceNumber is 0).
  std::vector<ComponentError> faults;

  bool ShortMessageComplete() const { return declared_length == received_length; }
};

// Field by field into the message:
//   service_type, addresses, TONs and NPIs - their fields (an empty C-octet
//       string leaves the initial value); octets 0x01 are removed from the
//       source address;
//   esm_class -> MessageType (the whole octet), protocol_id, priority_flag,
//       registered_delivery, data_coding - their fields; MessageMode is 0;
//       schedule_delivery_time, validity_period, replace_if_present_flag and
//       sm_default_msg_id are not kept;
//   short_message -> ShortMessage (one character per octet, NULs kept) and
//       ShortMessageBytes (the octets; sm_length zero octets and an empty
//       text when the PDU holds fewer than sm_length);
//   message_payload -> Payload and PayloadBytes (zero octets and an empty
//       text when it runs past the PDU), user_message_reference,
//       callback_num (CallbackNumber, TON and NPI; a repeated callback_num
//       goes to the TLV list),
//       message_state -> MessageState; any other parameter goes to the TLV
//       list as text.
// Parameters are read while at least five octets remain; reading stops
// after a short message or payload that does not fit, since what follows
// is not a parameter. A mandatory field that runs past the PDU (a C-octet
// string without its NUL, a missing octet) throws ComponentError 9: the PDU
// cannot be decoded.
DecodedDeliverSm DecodeDeliverSm(std::span<const uint8_t> pdu);

// A data_sm (header included) the same way: service_type, the addresses with
// their TONs and NPIs, esm_class -> MessageType, registered_delivery and
// data_coding, then the optional parameters as above, so that the text
// arrives in Payload and PayloadBytes from message_payload. There is no
// short message: declared and received lengths are 0.
DecodedDeliverSm DecodeDataSm(std::span<const uint8_t> pdu);

}  // namespace korvane::decoders
