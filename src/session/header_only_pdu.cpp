#include "session/header_only_pdu.hpp"

#include <vector>

#include "encoders/session_encoders.hpp"
#include "session/session.hpp"

namespace korvane::session {

bool SendHeaderOnlyPdu(Session& session, uint32_t command_id, uint32_t sequence_number,
                       std::string_view label) {
  std::vector<uint8_t> pdu = encoders::EncodeHeaderOnly(command_id, sequence_number);
  if (session.settings().enable_trace) session.CalcTraceLog(pdu, label);
  return session.transport().wsSendData(std::move(pdu));
}

}  // namespace korvane::session
