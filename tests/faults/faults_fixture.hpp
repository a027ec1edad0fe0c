// What the fault-injection tests share: PDUs an SMSC sends, a sink that
// counts instead of recording (for bulk traffic), and a session bound over
// real TCP against the loopback SMSC.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::testing {

inline constexpr uint32_t kDeliverSmId = 0x00000005;
inline constexpr uint32_t kDeliverSmRespId = 0x80000005;
inline constexpr uint32_t kSubmitSmId = 0x00000004;

// A deliver_sm from 4479 to 12345 carrying `text` in short_message.
inline std::vector<uint8_t> DeliverSm(uint32_t sequence, const std::string& text) {
  std::vector<uint8_t> body =
      Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 00 00 00 00 00 00 00 00 00");
  body.push_back(static_cast<uint8_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  return MakePdu(kDeliverSmId, 0, sequence, body);
}

// The deliver_sm_resp the session owes for the deliver_sm numbered `sequence`.
inline std::vector<uint8_t> DeliverSmResp(uint32_t sequence) {
  return MakePdu(kDeliverSmRespId, 0, sequence, {0});
}

// Counts events without keeping them: bulk tests raise tens of thousands.
struct CountingSink : SMPPEvents {
  std::vector<int32_t> received_sequences;  // MessageReceived, in order
  std::vector<std::string> received_texts;
  std::vector<std::string> delivered_ids;  // MessageDelivered, in order
  std::vector<int32_t> errors;

  void MessageReceived(MessageObject& message) override {
    received_sequences.push_back(message.SequenceNumber);
    received_texts.push_back(message.ShortMessage.ToText());
  }
  void MessageDelivered(MessageObject& message) override {
    delivered_ids.push_back(message.MessageID);
  }
  void Error(int32_t number, const std::string&, const std::string&) override {
    errors.push_back(number);
  }
};

// A session on its own Asio loop, bound against the loopback SMSC over real
// TCP: the library's loop runs on the test thread, the SMSC on its own.
class FaultsFixture : public ::testing::Test {
 protected:
  FaultsFixture() : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(smsc.Port());
    smpp.SystemID("abc");
    smpp.ProtocolID(static_cast<ProtocolIDs>(52));
    smpp.OperationsTimeout(1);
    smpp.ConnectionTimeout(1);
  }
  ~FaultsFixture() override { events.on_event = nullptr; }

  // Binds against the willing SMSC and forgets the events that took.
  void BindAs(BindTypes type) {
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  // Pumps the session's loop until an event of this name was raised.
  bool PumpUntilEvent(const std::string& name) {
    return PumpUntil(loop, [&] { return !events.Named(name).empty(); });
  }

  // The SMSC outlives the session, whose destruction unbinds against it.
  LoopbackSmsc smsc;
  EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
};

}  // namespace korvane::testing
