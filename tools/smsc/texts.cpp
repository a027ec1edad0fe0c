#include "smsc/texts.hpp"

namespace korvane::smsc {
namespace {

constexpr uint16_t kTagMessagePayload = 0x0424;

// The submission as a message object, the form the text layer reads.
MessageObject MessageOf(const Submission& submission) {
  MessageObject message;
  message.SourceAddress = submission.source.address;
  if (!submission.dests.empty()) {
    message.DestAddress = submission.dests.front().address;
  } else if (!submission.lists.empty()) {
    message.DestAddress = submission.lists.front();
  }
  message.MessageType = static_cast<MessageTypes>(submission.esm_class);
  message.DataCoding = static_cast<SMSDataCodingSchemes>(submission.data_coding);
  const std::string body = submission.Body();
  message.ShortMessageBytes = Variant(std::vector<uint8_t>(body.begin(), body.end()));
  for (const Tlv& tlv : submission.tlvs)
    if (tlv.tag != kTagMessagePayload)
      message.AddOptionalParamByte(
          tlv.tag, Variant(std::vector<uint8_t>(tlv.value.begin(), tlv.value.end())));
  return message;
}

// Control characters shown as \n, \r, \t or \xNN; the rest as UTF-8.
std::string Shown(const std::string& utf8) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : utf8) {
    const auto octet = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '"' || c == '\\') {
      shown += '\\';
      shown += c;
    } else if (octet < 0x20 || octet == 0x7F) {
      shown += "\\x";
      shown += kDigits[octet >> 4];
      shown += kDigits[octet & 0x0F];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::vector<std::string> TextLog::Lines(const Submission& submission,
                                        std::chrono::steady_clock::time_point now) {
  std::vector<std::string> lines;
  for (const text::AssembledMessage& message : reassembler_.Add(MessageOf(submission), now)) {
    const MessageObject& first = message.parts.front();
    std::string line = message.complete ? "text" : "incomplete text";
    line += " from " + first.SourceAddress + " to " + first.DestAddress;
    if (message.total > 1) {
      line += " (";
      if (!message.complete) {
        for (std::size_t i = 0; i < message.numbers.size(); ++i)
          line += (i ? "," : "part(s) ") + std::to_string(message.numbers[i]);
        line += " of ";
      }
      line += std::to_string(message.total) + " parts)";
    }
    lines.push_back(line + ": \"" + Shown(message.text) + "\"");
  }
  return lines;
}

std::vector<Submission> MoParts(const std::string& from, const std::string& to,
                                const std::string& utf8, uint16_t reference) {
  text::SplitOptions options;
  options.reference = reference;
  std::vector<Submission> parts;
  for (const MessageObject& part : text::SplitText(utf8, options)) {
    Submission message;
    message.source.address = from;
    message.dests.push_back({0, 0, to});
    message.esm_class = static_cast<uint8_t>(part.MessageType);
    message.data_coding = static_cast<uint8_t>(part.DataCoding);
    const std::vector<uint8_t> body = text::BodyOf(part);
    message.short_message.assign(body.begin(), body.end());
    parts.push_back(std::move(message));
  }
  return parts;
}

}  // namespace korvane::smsc
