// DebugPDU's text parser and what it feeds: each line of the input is
// handed to DebugPDU on a bound session, as a host would type PDUs in hex.
// ComponentError 13 and 6 are its documented refusals; any other exception
// escapes and is a finding. Nothing the SMSC sends may vanish silently: a
// deliver_sm is acknowledged and raised, or reported as an Error; an
// enquire_link or unbind from the SMSC is answered.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "diagnostics/hex_octets.hpp"
#include "korvane/errors.hpp"
#include "support/fuzz_session.hpp"
#include "vocabulary/octets.hpp"

namespace {

using namespace korvane;
using fuzzing::Broken;

uint32_t CommandIdOf(const std::vector<uint8_t>& pdu) {
  return vocabulary::BigEndian32(std::span<const uint8_t, 4>(pdu.data() + 4, 4));
}

// True when a PDU sent since `sent_before` answers `request` with its response.
bool Answered(const fuzzing::FuzzSession& s, std::size_t sent_before,
              const std::vector<uint8_t>& request) {
  const auto& sent = s.socket.Sent();
  return std::any_of(sent.begin() + sent_before, sent.end(), [&](const auto& pdu) {
    return pdu.size() >= 16 && CommandIdOf(pdu) == (CommandIdOf(request) | 0x80000000u) &&
           std::equal(request.begin() + 12, request.begin() + 16, pdu.begin() + 12);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzzing::FuzzSession s;
  s.smpp.EnableTraceMessages(true);
  s.smpp.EnableDebugMessages(true);
  // bind_transceiver_resp, status 0, sequence 2, system_id "SMSC".
  if (s.Bind(BindTypes::SmppBindAsTransceiver,
             {0, 0, 0, 0x15, 0x80, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 2, 'S', 'M', 'S', 'C', 0}) != 3)
    Broken("the fixed bind failed");

  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t sent_before = s.socket.Sent().size();
    const std::size_t received_before = s.Count("MessageReceived");
    const std::size_t errors_before = s.Count("Error");
    std::vector<uint8_t> pdu;
    try {
      s.smpp.DebugPDU(line);
      pdu = diagnostics::ParseHexOctets(line);
    } catch (const ComponentError& error) {
      if (error.Number() != 13 && error.Number() != 6)
        Broken("DebugPDU threw an error it does not document");
    }
    if (pdu.size() < 16) continue;
    const uint32_t command = CommandIdOf(pdu);
    const bool raised = s.Count("MessageReceived") > received_before;
    if (command == 0x05 &&
        (raised ? !Answered(s, sent_before, pdu) : s.Count("Error") == errors_before))
      Broken("a deliver_sm raised unanswered, or neither raised nor reported");
    if ((command == 0x15 || command == 0x06) && !Answered(s, sent_before, pdu))
      Broken("an enquire_link or unbind not answered");
  }
  return 0;
}
