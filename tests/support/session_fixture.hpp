// A session on the fake environment with its scripted socket and an event
// recorder, for the tests of the session and the inbound side.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane::testing {

class SessionFixture : public ::testing::Test {
 protected:
  SessionFixture() : smpp(environment), socket(*environment.LastSocket()) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("smsc.test");
    smpp.SMPPServerPort(2775);
  }

  // The peer answers every request as the loopback SMSC does (binds with
  // `bind_status`), `delay` after each request.
  void AnswerLikeAnSmsc(uint32_t bind_status = 0,
                        std::chrono::milliseconds delay = std::chrono::milliseconds(10)) {
    socket.AnswerWith(
        [bind_status](const std::vector<uint8_t>& sent) {
          std::vector<uint8_t> answer;
          for (const auto& pdu : LoopbackSmsc::DefaultAnswer(sent, bind_status))
            answer.insert(answer.end(), pdu.begin(), pdu.end());
          return answer;
        },
        delay);
  }
  // From now on the peer answers nothing.
  void NeverAnswer() {
    socket.AnswerWith([](const std::vector<uint8_t>&) { return std::vector<uint8_t>{}; });
  }

  // Binds against a willing peer and forgets what that took.
  void BindAs(BindTypes type) {
    AnswerLikeAnSmsc();
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  // The command_ids of every PDU sent so far.
  std::vector<uint32_t> SentCommands() const {
    std::vector<uint32_t> ids;
    for (const auto& pdu : socket.Sent())
      ids.push_back(uint32_t{pdu[4]} << 24 | uint32_t{pdu[5]} << 16 | uint32_t{pdu[6]} << 8 |
                    pdu[7]);
    return ids;
  }

  // Declared before the session: destroying a connected session unbinds and
  // raises events.
  FakeEnvironment environment;
  EventRecorder events;
  SMPP smpp;
  ScriptedSocket& socket;
};

}  // namespace korvane::testing
