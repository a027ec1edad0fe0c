#include "outbound/submit.hpp"

#include "encoders/submit_encoder.hpp"
#include "outbound/request_sending.hpp"
#include "session/session.hpp"
#include "session/time_zone.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::outbound {
void CutCallbackNumber(MessageObject& message) {
  if (message.CallbackNumber.size() > vocabulary::kMaxCallbackNumberLength)
    message.CallbackNumber.resize(vocabulary::kMaxCallbackNumberLength);
}

SendOutcome SubmitSMS(session::Session& session, MessageObject& message, bool submit_multi,
                      bool hold_when_full) {
  auto procedure = session.Procedure("SubmitSMS");
  procedure.Step([&] { CutCallbackNumber(message); });
  return SendRequest(
      session, procedure, message, encoders::SubmitTraceLabel(submit_multi),
      [&](int32_t sequence_number) {
        const encoders::SubmitContext context{
            .submit_multi = submit_multi,
            .protocol_id = session.owner().UseMessageProtocolID ? int32_t{message.ProtocolID}
                                                                : session.settings().protocol_id,
            .force_no_payload = session.owner().ForceNoPayloadFieldUsage,
            .now = session.environment().LocalNow(),
            .time_zone_suffix = session::TimeZoneSuffix(),
        };
        return encoders::EncodeSubmit(message, context, sequence_number);
      },
      hold_when_full);
}

}  // namespace korvane::outbound
