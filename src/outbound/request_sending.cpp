#include "outbound/request_sending.hpp"

#include <utility>

#include "session/session.hpp"

namespace korvane::outbound {

SendOutcome SendRequest(session::Session& session, diagnostics::TrappedProcedure& procedure,
                        MessageObject& message, std::string_view trace_label, const Encoder& encode,
                        bool hold_when_full) {
  std::vector<uint8_t> pdu;
  bool full = false;
  procedure.Step([&] {
    vocabulary::SequenceCounter counter = session.sequence();
    const int32_t sequence_number = counter.Next();
    std::vector<uint8_t> encoded = encode(sequence_number);
    if (!session.transport().HasRoomFor(encoded.size())) {
      full = true;
      return;
    }
    pdu = std::move(encoded);
    session.sequence() = counter;
    message.SequenceNumber = sequence_number;
  });
  if (full) {
    if (hold_when_full) return SendOutcome::Held;
    session.transport().ReportOutputFull();
    return SendOutcome::Refused;
  }
  if (pdu.empty()) return SendOutcome::Refused;
  if (session.settings().enable_trace) {
    procedure.Step([&] { session.CalcTraceLog(pdu, trace_label); });
  }
  bool sent = false;
  procedure.Step([&] { sent = session.transport().wsSendData(std::move(pdu)); });
  return sent ? SendOutcome::Sent : SendOutcome::Refused;
}

}  // namespace korvane::outbound
