#include "soak/soak_smsc.hpp"

#include <cstddef>
#include <optional>
#include <string>

namespace korvane::soak {
namespace {

using testing::CommandIdOf;
using testing::MakePdu;
using testing::SequenceNumberOf;

constexpr std::size_t kHeaderLength = 16;
constexpr uint8_t kReceiptEsmClass = 0x04;
constexpr uint16_t kReceiptedMessageId = 0x001E;
constexpr uint16_t kMessageState = 0x0427;

// registered_delivery of a submit_sm: after service_type, the source and
// destination addresses, esm_class, protocol_id, priority_flag and the two
// time strings. Empty when the PDU ends before it.
std::optional<uint8_t> RegisteredDeliveryOf(const std::vector<uint8_t>& pdu) {
  std::size_t position = kHeaderLength;
  const auto skip_text = [&] {
    while (position < pdu.size() && pdu[position] != 0) ++position;
    ++position;  // the NUL
  };
  skip_text();    // service_type
  position += 2;  // source TON, NPI
  skip_text();    // source_addr
  position += 2;  // destination TON, NPI
  skip_text();    // destination_addr
  position += 3;  // esm_class, protocol_id, priority_flag
  skip_text();    // schedule_delivery_time
  skip_text();    // validity_period
  if (position >= pdu.size()) return std::nullopt;
  return pdu[position];
}

void Append(std::vector<uint8_t>& octets, const std::string& text) {
  octets.insert(octets.end(), text.begin(), text.end());
}

void AppendTlv(std::vector<uint8_t>& octets, uint16_t tag, const std::vector<uint8_t>& value) {
  octets.push_back(static_cast<uint8_t>(tag >> 8));
  octets.push_back(static_cast<uint8_t>(tag));
  octets.push_back(static_cast<uint8_t>(value.size() >> 8));
  octets.push_back(static_cast<uint8_t>(value.size()));
  octets.insert(octets.end(), value.begin(), value.end());
}

// The mandatory fields of a deliver_sm up to sm_length, then the message.
std::vector<uint8_t> DeliverBody(uint8_t esm_class, const std::string& text) {
  std::vector<uint8_t> body = {0, 1, 1};  // service_type, source TON, NPI
  Append(body, "447700900123");
  body.insert(body.end(), {0, 1, 1});
  Append(body, "12345");
  body.insert(body.end(), {0, esm_class, 0, 0, 0, 0, 0, 0, 0, 0});
  body.push_back(static_cast<uint8_t>(text.size()));
  Append(body, text);
  return body;
}

}  // namespace

SoakSmsc::SoakSmsc(uint32_t messages_per_bind) : messages_per_bind_(messages_per_bind) {
  smsc_.SetRecording(false);
  smsc_.SetResponder([this](const Octets& pdu) { return Answer(pdu); });
}

SoakSmsc::Octets SoakSmsc::DeliverSm(const std::vector<uint8_t>& body) {
  ++counts_.deliveries_sent;
  return MakePdu(0x00000005, 0, next_sequence_++, body);
}

std::vector<SoakSmsc::Octets> SoakSmsc::Answer(const Octets& pdu) {
  std::vector<Octets> answers = testing::LoopbackSmsc::DefaultAnswer(pdu, 0);
  switch (CommandIdOf(pdu)) {
    case 0x00000002:  // bind_transmitter
      ++counts_.binds;
      delivering_ = false;
      break;
    case 0x00000001:  // bind_receiver
    case 0x00000009:  // bind_transceiver
      ++counts_.binds;
      delivering_ = true;
      for (uint32_t number = 0; number < messages_per_bind_; ++number)
        answers.push_back(DeliverSm(DeliverBody(0, "mobile message " + std::to_string(number))));
      ++counts_.enquiries_sent;
      answers.push_back(MakePdu(0x00000015, 0, next_sequence_++));
      break;
    case 0x00000004: {  // submit_sm, counted after its receipt
      const std::optional<uint8_t> registered = RegisteredDeliveryOf(pdu);
      if (delivering_ && registered && (*registered & 0x03) != 0) {
        const std::string id = "MSG" + std::to_string(SequenceNumberOf(pdu));
        std::vector<uint8_t> body = DeliverBody(
            kReceiptEsmClass, "id:" + id + " sub:001 dlvrd:001 stat:DELIVRD err:000 text:");
        std::vector<uint8_t> receipted(id.begin(), id.end());
        receipted.push_back(0);
        AppendTlv(body, kReceiptedMessageId, receipted);
        AppendTlv(body, kMessageState, {2});
        answers.push_back(DeliverSm(body));
      }
      ++counts_.submits;
      break;
    }
    case 0x00000003:
      ++counts_.queries;
      break;
    case 0x80000005:
      ++counts_.deliveries_acknowledged;
      break;
    case 0x80000015:
      ++counts_.enquiries_answered;
      break;
    case 0x00000015:
      ++counts_.enquiries_received;
      break;
    case 0x00000006:
      ++counts_.unbinds;
      break;
    default:
      ++counts_.unexpected;
  }
  return answers;
}

}  // namespace korvane::soak
