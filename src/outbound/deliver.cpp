#include "outbound/deliver.hpp"

#include "encoders/deliver_encoder.hpp"
#include "outbound/request_sending.hpp"
#include "outbound/submit.hpp"
#include "session/session.hpp"
#include "session/time_zone.hpp"

namespace korvane::outbound {

Variant DeliverShortMessage(session::Session& session, MessageObject& message) {
  DeliverSM(session, message);
  return Variant();
}

void DeliverSM(session::Session& session, MessageObject& message) {
  auto procedure = session.Procedure("DeliverSM");
  procedure.Step([&] { CutCallbackNumber(message); });
  SendRequest(session, procedure, message, "Sent DELIVER_SM", [&](int32_t sequence_number) {
    const encoders::DeliverContext context{
        .protocol_id = session.settings().protocol_id,
        .force_no_payload = session.owner().ForceNoPayloadFieldUsage,
        .now = session.environment().LocalNow(),
        .time_zone_suffix = session::TimeZoneSuffix(),
    };
    return encoders::EncodeDeliver(message, context, sequence_number);
  });
}

}  // namespace korvane::outbound
