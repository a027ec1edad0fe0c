// How a message from the SMSC is printed: a delivery receipt with its parsed
// fields, anything else as from / to / text decoded to UTF-8 (a
// concatenated message once, when its parts are in).
#pragma once

#include "korvane/message_object.hpp"
#include "korvane/text.hpp"
#include "output.hpp"

namespace korvane::client {

bool IsReceipt(const MessageObject& message);

// Prints the receipt and returns its fields.
text::DeliveryReceipt PrintReceipt(Output& output, const MessageObject& message);
void PrintReceivedMessage(Output& output, const text::AssembledMessage& message);

// Control characters of a received text as \n, \r, \t or \xNN (C1 controls
// as \u0080 to \u009F), so that a text cannot drive the terminal.
std::string EscapedForTerminal(const std::string& utf8);

}  // namespace korvane::client
