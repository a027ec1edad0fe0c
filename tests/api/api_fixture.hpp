// A session on the fake environment with its scripted socket, an event
// recorder, a message to send, and one line that shows everything a call
// did, for the tests of the public class; with what those tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "korvane/smpp.hpp"
#include "session/session.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane::testing {

// The parts as a stream prints them, one blank between.
template <typename... Parts>
std::string Join(const Parts&... parts) {
  std::ostringstream out;
  ((out << parts << ' '), ...);
  const std::string text = out.str();
  return text.empty() ? text : text.substr(0, text.size() - 1);
}

class ApiTest : public ::testing::Test {
 protected:
  ApiTest() : smpp(environment), socket(*environment.LastSocket()) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("smsc.test");
    message.DestAddress = "1234";
  }

  // The loopback SMSC's answers (binds with `bind_status`); with
  // `binds_only`, to bind and unbind requests only.
  static ScriptedSocket::Responder LikeAnSmsc(uint32_t bind_status = 0, bool binds_only = false) {
    return [=](const std::vector<uint8_t>& sent) {
      std::vector<uint8_t> answer;
      if (binds_only && sent[7] != 1 && sent[7] != 2 && sent[7] != 9 && sent[7] != 6) return answer;
      for (const auto& pdu : LoopbackSmsc::DefaultAnswer(sent, bind_status))
        answer.insert(answer.end(), pdu.begin(), pdu.end());
      return answer;
    };
  }
  // The peer answers every request so, `delay` after each.
  void AnswerLikeAnSmsc(uint32_t bind_status = 0, milliseconds delay = milliseconds(10)) {
    socket.AnswerWith(LikeAnSmsc(bind_status), delay);
  }
  void NeverAnswer() { Answer(0, 0, ""); }

  // Binds against a willing peer and forgets what that took.
  void BindAs(BindTypes type) {
    AnswerLikeAnSmsc();
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  // "returned | events | PDUs sent | virtual time taken": what `call`
  // returned, the events without the texts of errors, warnings and debug
  // lines (the status table's own tests pin those), each PDU sent as command_id:sequence[/status]
  // (all its octets when `octets`), ", " between them.
  std::string Run(const std::function<std::string()>& call, bool octets = false) {
    events.events.clear();
    const std::size_t before = socket.Sent().size();
    const auto start = environment.Elapsed();
    std::string line = call();
    line += " | " + events.Summary(false) + " | ";
    for (std::size_t i = before; i < socket.Sent().size(); ++i) {
      const std::vector<uint8_t>& pdu = socket.Sent()[i];
      std::ostringstream shown;
      shown << std::hex << CommandIdOf(pdu) << std::dec << ':' << SequenceNumberOf(pdu);
      if (const auto status = pdu.at(8) << 24 | pdu[9] << 16 | pdu[10] << 8 | pdu[11]; status != 0)
        shown << '/' << std::hex << status;
      line += (i == before ? "" : ", ") + (octets ? HexText(pdu) : shown.str());
    }
    return line + " | " + std::to_string((environment.Elapsed() - start).count()) + "ms";
  }

  // The peer answers each request `delay` later with `command_id` (none when
  // 0) and `status`, carrying message_id `id` when the status is 0.
  void Answer(uint32_t command_id, uint32_t status, const std::string& id,
              std::chrono::milliseconds delay = std::chrono::milliseconds(10)) {
    socket.AnswerWith(
        [=](const std::vector<uint8_t>& sent) {
          if (command_id == 0) return std::vector<uint8_t>{};
          return MakePdu(command_id, status, SequenceNumberOf(sent),
                         status == 0 ? Octets(id + '\0') : std::vector<uint8_t>{});
        },
        delay);
  }

  // Declared before the session: destroying a connected session unbinds and
  // raises events.
  FakeEnvironment environment;
  EventRecorder events;
  SMPP smpp;
  ScriptedSocket& socket;
  MessageObject message;
};

}  // namespace korvane::testing

namespace korvane {
// The names the tests of the public class share.
using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::Join;
using testing::MakePdu;
constexpr auto kTx = BindTypes::SmppBindAsTransmitter;
constexpr auto kRx = BindTypes::SmppBindAsReceiver;
constexpr auto kTRx = BindTypes::SmppBindAsTransceiver;
}  // namespace korvane
