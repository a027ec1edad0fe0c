// The session fixture with a message to send and one line that shows
// everything a call did, for the tests of the public class.
#pragma once

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/session_fixture.hpp"
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

class ApiTest : public SessionFixture {
 protected:
  ApiTest() { message.DestAddress = "1234"; }

  // EventRecorder::Summary, without the texts of errors, warnings and debug
  // lines when `brief` (the status table's own tests pin those) but with a
  // trapped error's procedure.
  std::string Events() const {
    std::string line = events.Summary();
    for (std::size_t open = 0; brief && (open = line.find('{', open)) != std::string::npos;) {
      const std::size_t from = line.rfind(", ", open), close = line.find('}', open);
      const std::string name = line.substr(from == std::string::npos ? 0 : from + 2);
      const bool texted = name.starts_with("Error#") || name.starts_with("Warning#");
      if ((texted || name.starts_with("DebugLog")) && line[open + 1] != '@')
        line.erase(open, close - open + 1);
      else
        open = close;
    }
    return line;
  }

  // "returned | events | PDUs sent | virtual time taken": what `call`
  // returned, Events(), each PDU sent as command_id:sequence[/status] (all
  // its octets when `octets`), ", " between them.
  std::string Run(const std::function<std::string()>& call, bool octets = false) {
    events.events.clear();
    const std::size_t before = socket.Sent().size();
    const auto start = environment.Elapsed();
    std::string line = call();
    line += " | " + Events() + " | ";
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

  MessageObject message;
  bool brief = true;
};

}  // namespace korvane::testing
