#include "received_message.hpp"

#include <string>

#include "client_session.hpp"

namespace korvane::client {
namespace {

bool IsBinary(int32_t coding) { return coding == 2 || coding == 4; }

std::string HexOf(const std::vector<uint8_t>& octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex = "[hex]";
  for (const uint8_t octet : octets) {
    hex += ' ';
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0x0F];
  }
  return hex;
}

std::string DateText(const std::optional<DateTime>& date) {
  return date ? date->ToString() : std::string();
}

// ", err 000, submitted 1, ...": the fields the receipt has.
std::string ReadableFields(const text::DeliveryReceipt& receipt) {
  std::string fields;
  // Appended piece by piece: "literal" + temporary trips g++ 12's
  // -Wrestrict at -O3.
  const auto add = [&fields](const char* label, const std::string& value) {
    fields.append(label).append(value);
  };
  if (!receipt.err.empty()) add(", err ", receipt.err);
  if (receipt.network_error >= 0) add(", network error ", std::to_string(receipt.network_error));
  if (receipt.submitted >= 0) add(", submitted ", std::to_string(receipt.submitted));
  if (receipt.delivered >= 0) add(", delivered ", std::to_string(receipt.delivered));
  if (receipt.submit_date) add(", submit date ", DateText(receipt.submit_date));
  if (receipt.done_date) add(", done date ", DateText(receipt.done_date));
  return fields;
}

}  // namespace

std::string EscapedForTerminal(const std::string& utf8) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto octet = static_cast<unsigned char>(utf8[i]);
    if (octet == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      const auto c1 = static_cast<unsigned char>(utf8[++i]);
      shown += "\\u00";
      shown += kDigits[c1 >> 4];
      shown += kDigits[c1 & 0x0F];
    } else if (octet == '\n') {
      shown += "\\n";
    } else if (octet == '\r') {
      shown += "\\r";
    } else if (octet == '\t') {
      shown += "\\t";
    } else if (octet < 0x20 || octet == 0x7F) {
      shown += "\\x";
      shown += kDigits[octet >> 4];
      shown += kDigits[octet & 0x0F];
    } else {
      shown += utf8[i];
    }
  }
  return shown;
}

bool IsReceipt(const MessageObject& message) {
  return (static_cast<int32_t>(message.MessageType) & 0x3C) == 0x04;
}

text::DeliveryReceipt PrintReceipt(Output& output, const MessageObject& message) {
  const text::DeliveryReceipt receipt = text::ParseReceipt(message);
  const std::string body = text::TextOf(message);
  const std::string state_text = receipt.state != 0 ? StateName(receipt.state) : receipt.stat;
  output.Result("receipt",
                {{"id", receipt.id},
                 {"state", state_text},
                 {"state_code", int64_t{receipt.state}},
                 {"from", message.SourceAddress},
                 {"to", message.DestAddress},
                 {"text", body},
                 {"err", receipt.err},
                 {"submit_date", DateText(receipt.submit_date)},
                 {"done_date", DateText(receipt.done_date)},
                 {"submitted", int64_t{receipt.submitted}},
                 {"delivered", int64_t{receipt.delivered}}},
                "receipt for " + receipt.id + ": " + state_text + ReadableFields(receipt) + " (" +
                    EscapedForTerminal(body) + ")");
  return receipt;
}

void PrintReceivedMessage(Output& output, const text::AssembledMessage& message) {
  if (message.parts.empty()) return;
  const MessageObject& first = message.parts.front();
  const auto coding = static_cast<int32_t>(first.DataCoding);
  // A binary body stays as its octets (JSON) or hex (text).
  std::string body = message.text;
  std::string readable = EscapedForTerminal(message.text);
  if (IsBinary(coding)) {
    std::vector<uint8_t> octets;
    for (const MessageObject& part : message.parts) {
      const std::vector<uint8_t> part_octets = text::BodyOf(part);
      octets.insert(octets.end(), part_octets.begin(), part_octets.end());
    }
    body.assign(octets.begin(), octets.end());
    readable = HexOf(octets);
  }
  JsonFields fields{{"from", first.SourceAddress},
                    {"to", first.DestAddress},
                    {"data_coding", int64_t{coding}},
                    {"esm_class", int64_t{static_cast<int32_t>(first.MessageType)}},
                    {"text", body}};
  std::string heading = "message from " + first.SourceAddress + " to " + first.DestAddress;
  if (message.total > 1) {
    fields.emplace_back("parts", int64_t{message.total});
    heading.append(" (").append(std::to_string(message.total)).append(" parts)");
  }
  if (!message.complete) {
    std::string numbers;
    for (const int number : message.numbers)
      numbers.append(numbers.empty() ? "" : ",").append(std::to_string(number));
    fields.emplace_back("complete", false);
    fields.emplace_back("received_parts", numbers);
    heading = "incomplete " + heading + ", only part(s) " + numbers;
  }
  output.Result("message_received", fields, heading + ": " + readable);
}

}  // namespace korvane::client
