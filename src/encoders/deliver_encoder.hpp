// The deliver_sm encoder, for an SMSC that takes messages from the
// application as a routing element. Pure: the caller supplies the session
// values, the local time and the sequence number, and sends the result.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/message_object.hpp"

namespace korvane::encoders {

struct DeliverContext {
  int32_t protocol_id = 0;        // the session's ProtocolID, sent as protocol_id
  bool force_no_payload = false;  // keeps the text in short_message
  DateTime now;                   // local time, for the validity period
  std::string_view time_zone_suffix;
};

// A deliver_sm to DestAddress (the recipient list is not used). The body is
// ShortMessage, its bytes as they are or its text one octet per character;
// it travels in message_payload when MessageType is not 0 and
// force_no_payload is off, else in short_message. schedule_delivery_time
// is ScheduledDeliveryTime, validity_period the local time plus
// ValidityHours, both absolute. callback_num follows when CallbackNumber,
// trimmed of blanks, is not empty: its first 15 characters with the source
// TON and NPI. user_message_reference and the message's TLVs are not sent.
//
// A value that does not fit throws ComponentError and nothing is built: 6
// for a one-octet field outside 0..255, a short_message over 255 octets or
// a payload over 65535; 5 for a NUL inside a C-octet string or a
// ScheduledDeliveryTime that is not a calendar date.
std::vector<uint8_t> EncodeDeliver(const MessageObject& message, const DeliverContext& context,
                                   int32_t sequence_number);

}  // namespace korvane::encoders
