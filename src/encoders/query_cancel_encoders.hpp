// The query_sm and cancel_sm encoders: the requests about a message that
// was submitted earlier. Pure; no field is cut. A TON or NPI outside 0..255
// throws ComponentError 6, a NUL inside a text field 5; nothing is built.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane/message_object.hpp"

namespace korvane::encoders {

// query_sm: MessageID, then the source TON, NPI and address. command_length
// takes all four octets.
std::vector<uint8_t> EncodeQuery(const MessageObject& message, int32_t sequence_number);

// cancel_sm: ServiceType, MessageID, the source address, then DestAddress
// (the recipient list is not used).
std::vector<uint8_t> EncodeCancel(const MessageObject& message, int32_t sequence_number);

}  // namespace korvane::encoders
