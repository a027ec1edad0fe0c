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

enum class SendOutcome {
  Sent,     // handed to the connection
  Refused,  // not sent: the encoder or the connection refused it
  Held,     // not sent, nothing reported: the output queue is full
};

// Runs `encode` with the next sequence number as a step of `procedure`.
// The number is taken, and written into the message's SequenceNumber, only
// once the PDU is built: a refused message is reported through the Error
// event, leaves no gap in the sequence and sends nothing. Otherwise the PDU
// is traced with `trace_label` while tracing is on, then sent. A PDU the
// output queue has no room for (MaxOutputBytes) is not sent either and takes
// no number: reported as Error 29985, or, with `hold_when_full`, only
// answered Held.
SendOutcome SendRequest(session::Session& session, diagnostics::TrappedProcedure& procedure,
                        MessageObject& message, std::string_view trace_label, const Encoder& encode,
                        bool hold_when_full = false);

}  // namespace korvane::outbound
