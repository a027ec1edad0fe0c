#include "outbound/request_sending.hpp"

#include <utility>

#include "session/session.hpp"

namespace korvane::outbound {

void SendRequest(session::Session& session, diagnostics::TrappedProcedure& procedure,
                 MessageObject& message, std::string_view trace_label, const Encoder& encode) {
  std::vector<uint8_t> pdu;
  procedure.Step([&] {
    vocabulary::SequenceCounter counter = session.sequence();
    const int32_t sequence_number = counter.Next();
    pdu = encode(sequence_number);
    session.sequence() = counter;
    message.SequenceNumber = sequence_number;
  });
  if (pdu.empty()) return;
  if (session.settings().enable_trace) {
    procedure.Step([&] { session.CalcTraceLog(pdu, trace_label); });
  }
  procedure.Step([&] { session.transport().wsSendData(std::move(pdu)); });
}

}  // namespace korvane::outbound
