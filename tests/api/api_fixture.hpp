// The session fixture with a message to send and one line that shows
// everything a call did, for the tests of the public class.
#pragma once

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

  // "returned | events | PDUs sent | virtual time taken": what `call`
  // returned, EventRecorder::Summary, each PDU sent as command_id:sequence
  // (all its octets when `octets`), ", " between them.
  std::string Run(const std::function<std::string()>& call, bool octets = false) {
    events.events.clear();
    const std::size_t before = socket.Sent().size();
    const auto start = environment.Elapsed();
    std::string line = call();
    line += " | " + events.Summary() + " | ";
    for (std::size_t i = before; i < socket.Sent().size(); ++i) {
      const std::vector<uint8_t>& pdu = socket.Sent()[i];
      std::ostringstream shown;
      shown << std::hex << CommandIdOf(pdu) << std::dec << ':' << SequenceNumberOf(pdu);
      line += (i == before ? "" : ", ") + (octets ? HexText(pdu) : shown.str());
    }
    return line + " | " + std::to_string((environment.Elapsed() - start).count()) + "ms";
  }

  MessageObject message;
};

}  // namespace korvane::testing
