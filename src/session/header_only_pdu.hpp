// The PDUs that are a bare 16-octet header: enquire_link, the responses
// enquire_link_resp and unbind_resp, and unbind.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvane::session {

class Session;

// Builds the header with status 0 and this sequence_number, traces it with
// `label` when tracing is on, and sends it. True when the socket took it.
bool SendHeaderOnlyPdu(Session& session, uint32_t command_id, uint32_t sequence_number,
                       std::string_view label);

}  // namespace korvane::session
