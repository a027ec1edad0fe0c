#include "support/fuzz_session.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <utility>

#include "korvane/errors.hpp"

namespace korvane::fuzzing {

std::vector<std::string> MemberNames() {
  std::istringstream in(
      "ServiceType SourceAddress SourceAddressTON SourceAddressNPI DestAddress DestAddressTON "
      "DestAddressNPI MessageType MessageMode MessageState Priority ValidityRelative "
      "ValiditySeconds ValidityHours ReplaceIfPresent DataCoding ShortMessage RegisteredDelivery "
      "ProtocolID SequenceNumber MessageID DeliveryStatus DeliveryErrorCode CallbackNumber "
      "CallbackNumberTON CallbackNumberNPI CancelResultCode ShortMessageBytes PayloadBytes Payload "
      "UnsuccessfulDeliveries DefaultMsgId UserMessageReference ValidityPeriodString "
      "Recipients.Count TLVs.Count");
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

void Broken(std::string_view what) {
  std::fprintf(stderr, "broken invariant: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

uint64_t InspectMessage(const MessageObject& m, bool built_by_library) {
  std::string read = m.ScheduledDeliveryTime.ToString() + m.FinalDeliveryDate.ToString();
  for (const std::string& name : MemberNames()) {
    try {
      read += m.GetMember(name).ToText();
    } catch (const ComponentError&) {
      Broken("GetMember refused one of its own names: " + name);
    }
  }
  if (m.DefaultMsgId() < 0 || m.DefaultMsgId() > 255) Broken("DefaultMsgId outside 0..255");
  const int reference = std::stoi(m.UserMessageReference());
  if (reference < 0 || reference > 65535) Broken("UserMessageReference outside 0..65535");
  for (const Recipient& r : m.Recipients) read += r.Address + std::to_string(r.StatusCode);
  for (const TLV& tlv : m.TLVs) {
    read += tlv.TagValue + m.GetOptionalParamStringValue(tlv.Tag) +
            m.GetOptionalParamBytesValue(tlv.Tag).ToText();
    if (built_by_library && (tlv.TagLength < 0 || tlv.Tag < 0 || tlv.Tag > 0xFFFF ||
                             static_cast<std::size_t>(tlv.TagLength) != tlv.TagValue.size()))
      Broken("a received TLV whose tag or TagLength does not fit its value");
  }
  if (built_by_library && m.Recipients.size() > 254) Broken("more than 254 recipients");
  return std::hash<std::string>()(read);
}

std::size_t FuzzSession::Count(const std::string& event_name) const {
  return std::ranges::count(events.events, event_name, &testing::RecordedEvent::name);
}

FuzzSession::FuzzSession() : smpp(environment), socket(*environment.LastSocket()) {
  // A failing helper procedure would otherwise print its report for every input.
  SetUnexpectedErrorHandler([](const std::string&) { return ErrorDecision::Ignore; });
  events.on_event = [this](const testing::RecordedEvent& event) {
    if (event.name == "Error" && event.text.empty()) Broken("an Error event without a description");
    if (event.name.starts_with("Message")) digest += InspectMessage(event.message, true);
    if (on_event) on_event(event);
  };
  smpp.Subscribe(events);
  smpp.SMPPServerAddress("smsc.fuzz");
  smpp.SMPPServerPort(2775);
  smpp.OperationsTimeout(1);
  smpp.ConnectionTimeout(1);
  // The first request (the bind) gets the target's octets; a later bind
  // (1, 2, 9) or unbind (6) the header with its sequence number and status
  // 0, a bind response with an empty system_id.
  socket.AnswerWith([this](const std::vector<uint8_t>& sent) -> std::vector<uint8_t> {
    if (!std::exchange(answered_first_, true)) return std::move(first_answer_);
    const uint8_t command = sent.size() >= 16 && sent[4] + sent[5] + sent[6] == 0 ? sent[7] : 0;
    if (command != 1 && command != 2 && command != 9 && command != 6) return {};
    std::vector<uint8_t> answer = {0, 0, 0, 16, 0x80, 0, 0, command, 0, 0, 0, 0};
    answer.insert(answer.end(), sent.begin() + 12, sent.begin() + 16);
    if (command != 6) {
      answer[3] = 17;
      answer.push_back(0);
    }
    return answer;
  });
}

}  // namespace korvane::fuzzing
