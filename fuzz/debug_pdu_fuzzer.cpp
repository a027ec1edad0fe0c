// DebugPDU's text parser and what it feeds: each line of the input is
// handed to DebugPDU on a bound session, as a host would type PDUs in hex.
// ComponentError 13 and 6 are its documented refusals; any other error or
// exception escapes and is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "korvane/errors.hpp"
#include "support/fuzz_session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace korvane;
  fuzzing::FuzzSession s;
  s.smpp.EnableTraceMessages(true);
  s.smpp.EnableDebugMessages(true);
  // bind_transceiver_resp, status 0, sequence 2, system_id "SMSC".
  s.Bind(BindTypes::SmppBindAsTransceiver,
         {0, 0, 0, 0x15, 0x80, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 2, 'S', 'M', 'S', 'C', 0});
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string line; std::getline(lines, line);) {
    try {
      s.smpp.DebugPDU(line);
    } catch (const ComponentError& error) {
      if (error.Number() != 13 && error.Number() != 6) std::abort();
    }
  }
  return 0;
}
