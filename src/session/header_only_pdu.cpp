#include "session/header_only_pdu.hpp"

#include <algorithm>
#include <vector>

#include "session/session.hpp"
#include "vocabulary/command_ids.hpp"
#include "vocabulary/pdu_writer.hpp"

namespace korvane::session {

bool SendHeaderOnlyPdu(Session& session, uint32_t command_id, std::array<uint8_t, 4> sequence,
                       std::string_view label) {
  std::vector<uint8_t> pdu =
      vocabulary::PduWriter::Computed(vocabulary::kHeaderLength, command_id, 0).Finish();
  std::copy(sequence.begin(), sequence.end(), pdu.begin() + vocabulary::kSequenceNumberOffset);
  if (session.settings().enable_trace) session.CalcTraceLog(pdu, label);
  return session.transport().wsSendData(std::move(pdu));
}

}  // namespace korvane::session
