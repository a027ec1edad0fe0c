// The last steps every message request shares: encode with the session's
// next sequence number, trace, send.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "diagnostics/error_trap.hpp"
#include "korvane/message_object.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::outbound {

using Encoder = std::function<std::vector<uint8_t>(int32_t sequence_number)>;

// Runs `encode` with the next sequence number as a step of `procedure`.
// The number is taken, and written into the message's SequenceNumber, only
// once the PDU is built: a refused message is reported through the Error
// event, leaves no gap in the sequence and sends nothing. Otherwise the PDU
// is traced with `trace_label` while tracing is on, then sent.
void SendRequest(session::Session& session, diagnostics::TrappedProcedure& procedure,
                 MessageObject& message, std::string_view trace_label, const Encoder& encode);

}  // namespace korvane::outbound
