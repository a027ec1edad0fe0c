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
#include <string_view>
#include <vector>

#include "diagnostics/hex_octets.hpp"
#include "korvane/errors.hpp"
#include "korvane/smpp.hpp"
#include "support/fuzz_session.hpp"
#include "support/message_inspection.hpp"

namespace {

// bind_transceiver_resp, status 0, sequence 2, system_id "SMSC".
const std::vector<uint8_t> kBindTransceiverResp = {0x00, 0x00, 0x00, 0x15, 0x80, 0x00, 0x00,
                                                   0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0x00, 0x02, 'S',  'M',  'S',  'C',  0x00};

uint32_t CommandIdOf(std::span<const uint8_t> pdu) {
  return uint32_t{pdu[4]} << 24 | uint32_t{pdu[5]} << 16 | uint32_t{pdu[6]} << 8 | pdu[7];
}

// True when a PDU sent since `sent_before` answers `request` with `response_id`.
bool Answered(const korvane::fuzzing::FuzzSession& s, std::size_t sent_before,
              const std::vector<uint8_t>& request, uint32_t response_id) {
  const auto& sent = s.socket.Sent();
  for (std::size_t i = sent_before; i < sent.size(); ++i) {
    if (sent[i].size() >= 16 && CommandIdOf(sent[i]) == response_id &&
        std::equal(request.begin() + 12, request.begin() + 16, sent[i].begin() + 12))
      return true;
  }
  return false;
}

// What must have followed one fed PDU.
void CheckHandled(const korvane::fuzzing::FuzzSession& s, const std::vector<uint8_t>& pdu,
                  std::size_t sent_before, uint32_t received_before, uint32_t errors_before) {
  using korvane::fuzzing::Broken;
  if (pdu.size() < 16) return;
  switch (CommandIdOf(pdu)) {
    case 0x00000005:
      if (s.sink.messages_received > received_before) {
        if (!Answered(s, sent_before, pdu, 0x80000005)) Broken("a deliver_sm raised unanswered");
      } else if (s.sink.errors == errors_before) {
        Broken("a deliver_sm neither raised nor reported");
      }
      break;
    case 0x00000015:
      if (!Answered(s, sent_before, pdu, 0x80000015)) Broken("an enquire_link not answered");
      break;
    case 0x00000006:
      if (!Answered(s, sent_before, pdu, 0x80000006)) Broken("an unbind not answered");
      break;
    default:
      break;
  }
}

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
    const std::size_t sent_before = s.socket.Sent().size();
    const uint32_t received_before = s.sink.messages_received;
    const uint32_t errors_before = s.sink.errors;
    try {
      s.smpp.DebugPDU(line);
      CheckHandled(s, korvane::diagnostics::ParseHexOctets(line), sent_before, received_before,
                   errors_before);
    } catch (const korvane::ComponentError& error) {
      if (error.Number() != 13 && error.Number() != 6)
        korvane::fuzzing::Broken("DebugPDU threw an error it does not document");
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return 0;
}
