// What the fuzz targets share: a reader of every member of a message that
// aborts on a broken invariant (the fuzzer records it as a crash), and a
// session on the fake environment (virtual time, scripted socket) whose
// events are recorded and checked as they come, and whose peer answers the
// bind with octets the target chooses, then accepts every bind and answers
// every unbind, so that destroying the session ends promptly. Waits are
// short (one second of virtual time), so an input that never answers costs
// little.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane::fuzzing {

// The names MessageObject answers to by GetMember.
inline std::vector<std::string> MemberNames() {
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

// Prints `what` and aborts.
[[noreturn]] inline void Broken(std::string_view what) {
  std::fprintf(stderr, "broken invariant: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

// Reads every member, by name and the lists, so that a bad value surfaces
// under the sanitizers; returns a digest, so nothing is optimised away.
// DefaultMsgId and UserMessageReference must be in range. A message the
// library built (a received one) also keeps at most 254 recipients and TLVs
// whose TagLength is their value's length and whose tags fit 16 bits.
inline uint64_t InspectMessage(const MessageObject& m, bool built_by_library = false) {
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

class FuzzSession {
 public:
  // Every event is recorded; an Error must have a description, a message
  // passes InspectMessage; then `on_event` sees it.
  FuzzSession() : smpp(environment), socket(*environment.LastSocket()) {
    // A failing helper procedure would otherwise print its report for every input.
    SetUnexpectedErrorHandler([](const std::string&) { return ErrorDecision::Ignore; });
    events.on_event = [this](const testing::RecordedEvent& event) {
      if (event.name == "Error" && event.text.empty())
        Broken("an Error event without a description");
      if (event.name.starts_with("Message")) digest += InspectMessage(event.message, true);
      if (on_event) on_event(event);
    };
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("smsc.fuzz");
    smpp.SMPPServerPort(2775);
    smpp.OperationsTimeout(1);
    smpp.ConnectionTimeout(1);
    // The first request (the bind) gets the target's octets; a later bind
    // or unbind the loopback SMSC's answer.
    socket.AnswerWith([this](const std::vector<uint8_t>& sent) {
      if (!std::exchange(answered_first_, true)) return std::move(first_answer_);
      const uint8_t command = sent.size() >= 16 && sent[4] + sent[5] + sent[6] == 0 ? sent[7] : 0;
      if (command != 1 && command != 2 && command != 9 && command != 6)
        return std::vector<uint8_t>{};
      return testing::LoopbackSmsc::DefaultAnswer(sent, 0)[0];
    });
  }
  // The handler's actions may refer to the target's own state, which ends
  // before the session's final unbind.
  ~FuzzSession() { on_event = nullptr; }

  // Connects and binds as `type`, the bind answered with `bind_answer`.
  int16_t Bind(BindTypes type, std::vector<uint8_t> bind_answer) {
    first_answer_ = std::move(bind_answer);
    return smpp.Bind(type);
  }
  std::size_t Count(const std::string& event_name) const {
    return std::ranges::count(events.events, event_name, &testing::RecordedEvent::name);
  }

  // In this order: the session is destroyed first and unbinds while the
  // recorder and the environment are still there.
  testing::FakeEnvironment environment;
  testing::EventRecorder events;
  std::function<void(const testing::RecordedEvent&)> on_event;
  uint64_t digest = 0;
  SMPP smpp;
  testing::ScriptedSocket& socket;

 private:
  std::vector<uint8_t> first_answer_;
  bool answered_first_ = false;
};

}  // namespace korvane::fuzzing
