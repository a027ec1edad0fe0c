// How a message from the SMSC is printed: a delivery receipt as a receipt,
// anything else as from / to / text.
#pragma once

#include "korvane/message_object.hpp"
#include "output.hpp"

namespace korvane::client {

bool IsReceipt(const MessageObject& message);

void PrintReceivedMessage(Output& output, const MessageObject& message);

}  // namespace korvane::client
