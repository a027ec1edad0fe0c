// DebugPDU's text parser and what it feeds: each line of the input is
// handed to DebugPDU on a bound session, as a host would type PDUs in hex.
// ComponentError 13 and 6 are its documented refusals; any other exception
// escapes and is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/smpp.hpp"
#include "support/fuzz_session.hpp"
#include "support/message_inspection.hpp"

namespace {

// bind_transceiver_resp, status 0, sequence 2, system_id "SMSC".
const std::vector<uint8_t> kBindTransceiverResp = {0x00, 0x00, 0x00, 0x15, 0x80, 0x00, 0x00,
                                                   0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0x00, 0x02, 'S',  'M',  'S',  'C',  0x00};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  korvane::fuzzing::FuzzSession s;
  s.smpp.EnableTraceMessages(true);
  s.smpp.EnableDebugMessages(true);
  if (s.Bind(korvane::BindTypes::SmppBindAsTransceiver, kBindTransceiverResp) != 3)
    korvane::fuzzing::Broken("the fixed bind failed");

  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string line(text.substr(0, end));
    try {
      s.smpp.DebugPDU(line);
    } catch (const korvane::ComponentError& error) {
      if (error.Number() != 13 && error.Number() != 6)
        korvane::fuzzing::Broken("DebugPDU threw an error it does not document");
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return 0;
}
