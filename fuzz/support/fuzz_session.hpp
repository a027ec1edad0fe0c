// What the fuzz targets share: a reader of every member of a message, so
// that a bad value surfaces under the sanitizers, and a session on the fake
// environment (virtual time, scripted socket) whose events are recorded and
// whose messages are read as they come. Its peer answers the bind with
// octets the target chooses, then every bind and unbind as the loopback
// SMSC does, so that destroying the session ends promptly. Waits are short
// (one second of virtual time), so an input that never answers costs little.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

// Reads every member, by name and the lists; returns a digest, so that
// nothing is optimised away.
inline uint64_t InspectMessage(const MessageObject& m) {
  std::string read = m.ScheduledDeliveryTime.ToString() + m.FinalDeliveryDate.ToString();
  for (const std::string& name : MemberNames()) read += m.GetMember(name).ToText();
  for (const Recipient& r : m.Recipients) read += r.Address + std::to_string(r.StatusCode);
  for (const TLV& tlv : m.TLVs)
    read += m.GetOptionalParamStringValue(tlv.Tag) + m.GetOptionalParamBytesValue(tlv.Tag).ToText();
  return std::hash<std::string>()(read);
}

struct FuzzSession {
  // Every event is recorded, a message read; then `on_event` sees it.
  FuzzSession() : smpp(environment), socket(*environment.LastSocket()) {
    // A failing helper procedure would otherwise print its report for every input.
    SetUnexpectedErrorHandler([](const std::string&) { return ErrorDecision::Ignore; });
    events.on_event = [this](const testing::RecordedEvent& event) {
      if (event.name.starts_with("Message")) digest += InspectMessage(event.message);
      if (on_event) on_event(event);
    };
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("smsc.fuzz");
    smpp.SMPPServerPort(2775);
    smpp.OperationsTimeout(1);
    smpp.ConnectionTimeout(1);
    socket.AnswerWith([this](const std::vector<uint8_t>& sent) {
      if (!std::exchange(answered_first, true)) return std::move(first_answer);
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
  void Bind(BindTypes type, std::vector<uint8_t> bind_answer) {
    first_answer = std::move(bind_answer);
    smpp.Bind(type);
  }

  // In this order: the session is destroyed first and unbinds while the
  // recorder and the environment are still there.
  testing::FakeEnvironment environment;
  testing::EventRecorder events;
  std::function<void(const testing::RecordedEvent&)> on_event;
  uint64_t digest = 0;
  std::vector<uint8_t> first_answer;
  bool answered_first = false;
  SMPP smpp;
  testing::ScriptedSocket& socket;
};

}  // namespace korvane::fuzzing
