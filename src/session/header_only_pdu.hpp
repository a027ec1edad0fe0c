// The PDUs that are a bare 16-octet header: enquire_link, the responses
// enquire_link_resp and unbind_resp, and unbind.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace korvane::session {

class Session;

// Builds the header with status 0 and these sequence_number octets, traces it
// with `label` when tracing is on, and sends it. True when the socket took it.
bool SendHeaderOnlyPdu(Session& session, uint32_t command_id, std::array<uint8_t, 4> sequence,
                       std::string_view label);

}  // namespace korvane::session
