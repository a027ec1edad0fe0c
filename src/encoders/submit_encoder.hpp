// The submit_sm and submit_multi encoder: one MessageObject to one request
// PDU. Pure: the caller supplies the session values, the local time and
// the sequence number, and sends the result.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/message_object.hpp"

namespace korvane::encoders {

struct SubmitContext {
  bool submit_multi = false;      // submit_multi to Recipients, else submit_sm to DestAddress
  int32_t protocol_id = 0;        // the session's ProtocolID, sent as protocol_id
  bool force_no_payload = false;  // a text Payload is not sent in message_payload
  DateTime now;                   // local time, for absolute validity periods
  std::string_view time_zone_suffix;
};

// The body travels in one of three ways, decided from the message:
//   payload - Payload holds bytes, or a non-empty text while force_no_payload
//             is off: sm_length 0 and the octets in message_payload;
//   bytes   - ShortMessage holds bytes: at most 255 of them;
//   text    - the first 255 characters of ShortMessage's text form.
// submit_multi lists every SME address before every distribution list, each
// group in list order. Optional parameters follow the body: message_payload,
// callback_num (CallbackNumber cut to 15 characters), user_message_reference
// (when above 0), then the host's TLVs in list order.
//
// A value that does not fit its field throws ComponentError and nothing is
// built: 6 "Overflow" for a one-octet field outside 0..255, more than 255
// short-message bytes, more than 255 recipients, a payload or optional
// parameter over 65535 octets or a tag above 65535; 5 for a NUL inside a
// C-octet string field, a TLV whose TagLength is not its value's length, or
// a ScheduledDeliveryTime that is not a calendar date; 6 for a relative
// validity beyond 99 days.
std::vector<uint8_t> EncodeSubmit(const MessageObject& message, const SubmitContext& context,
                                  int32_t sequence_number);

// "Sent SUBMIT_SM" or "Sent SUBMIT_SM_MULTI".
std::string_view SubmitTraceLabel(bool submit_multi);

}  // namespace korvane::encoders
