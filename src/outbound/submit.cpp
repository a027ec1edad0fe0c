#include "outbound/submit.hpp"

#include <vector>

#include "encoders/submit_encoder.hpp"
#include "session/session.hpp"
#include "session/time_zone.hpp"

namespace korvane::outbound {
namespace {

constexpr std::size_t kMaxCallbackNumber = 15;

}  // namespace

void SubmitSMS(session::Session& session, MessageObject& message, bool submit_multi) {
  auto procedure = session.Procedure("SubmitSMS");
  procedure.Step([&] {
    if (message.CallbackNumber.size() > kMaxCallbackNumber)
      message.CallbackNumber.resize(kMaxCallbackNumber);
  });
  std::vector<uint8_t> pdu;
  procedure.Step([&] {
    const encoders::SubmitContext context{
        .submit_multi = submit_multi,
        .protocol_id = session.settings().protocol_id,
        .force_no_payload = session.owner().ForceNoPayloadFieldUsage,
        .now = session.environment().LocalNow(),
        .time_zone_suffix = session::TimeZoneSuffix(),
    };
    // The number is taken only once the PDU is built: a refused message
    // leaves no gap in the sequence.
    vocabulary::SequenceCounter counter = session.sequence();
    const int32_t sequence_number = counter.Next();
    pdu = encoders::EncodeSubmit(message, context, sequence_number);
    session.sequence() = counter;
    message.SequenceNumber = sequence_number;
  });
  if (pdu.empty()) return;
  if (session.settings().enable_trace) {
    procedure.Step([&] { session.CalcTraceLog(pdu, encoders::SubmitTraceLabel(submit_multi)); });
  }
  procedure.Step([&] { session.transport().wsSendData(std::move(pdu)); });
}

}  // namespace korvane::outbound
