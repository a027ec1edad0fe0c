#include "received_message.hpp"

#include <string>

#include "client_session.hpp"

namespace korvane::client {
namespace {

constexpr int32_t kTagReceiptedMessageId = 0x001E;

// The value after "key:" in a receipt text ("id:MSG4 sub:001 ... stat:DELIVRD").
std::string ReceiptField(const std::string& text, const std::string& key) {
  std::size_t at = text.find(key + ":");
  while (at != std::string::npos && at != 0 && text[at - 1] != ' ') at = text.find(key + ":", at + 1);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size() + 1;
  return text.substr(from, text.find(' ', from) - from);
}

// Binary and UCS-2 bodies print as hex; others as their octets.
std::string ReadableBody(const MessageObject& message, const std::string& body) {
  const int32_t coding = static_cast<int32_t>(message.DataCoding);
  if (coding != 2 && coding != 4 && coding != 8) return body;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex = "[hex]";
  for (const char c : body) {
    const auto octet = static_cast<unsigned char>(c);
    hex += ' ';
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0x0F];
  }
  return hex;
}

void PrintReceipt(Output& output, const MessageObject& message, const std::string& text) {
  std::string id = message.GetOptionalParamStringValue(kTagReceiptedMessageId);
  if (const std::size_t nul = id.find('\0'); nul != std::string::npos) id.resize(nul);
  if (id.empty()) id = ReceiptField(text, "id");
  const auto state = static_cast<int32_t>(message.MessageState);
  const std::string state_text = state != 0 ? StateName(state) : ReceiptField(text, "stat");
  output.Result("receipt",
                {{"id", id}, {"state", state_text}, {"state_code", int64_t{state}},
                 {"from", message.SourceAddress}, {"to", message.DestAddress}, {"text", text}},
                "receipt for " + id + ": " + state_text + " (" + text + ")");
}

}  // namespace

bool IsReceipt(const MessageObject& message) {
  return (static_cast<int32_t>(message.MessageType) & 0x3C) == 0x04;
}

void PrintReceivedMessage(Output& output, const MessageObject& message) {
  // A long body comes in message_payload, a short one in short_message.
  const std::string body =
      message.Payload.IsEmpty() ? message.ShortMessage.ToText() : message.Payload.ToText();
  if (IsReceipt(message)) {
    PrintReceipt(output, message, body);
    return;
  }
  output.Result("message_received",
                {{"from", message.SourceAddress},
                 {"to", message.DestAddress},
                 {"data_coding", int64_t{static_cast<int32_t>(message.DataCoding)}},
                 {"esm_class", int64_t{static_cast<int32_t>(message.MessageType)}},
                 {"text", body}},
                "message from " + message.SourceAddress + " to " + message.DestAddress + ": " +
                    ReadableBody(message, body));
}

}  // namespace korvane::client
