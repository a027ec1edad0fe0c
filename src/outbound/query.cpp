#include "outbound/query.hpp"

#include "encoders/query_cancel_encoders.hpp"
#include "outbound/request_sending.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::outbound {
namespace {

using vocabulary::kComponentSource;
constexpr int32_t kBoundAsReceiver = 1;
constexpr int32_t kBoundAsTransmitter = 2;
constexpr int32_t kBoundAsTransceiver = 3;

void CopyLastQueryResult(const session::Session::QueryResult& result, MessageObject& message) {
  message.FinalDeliveryDate = result.final_date;
  message.DeliveryStatus = static_cast<MessageStates>(result.state);
  message.DeliveryErrorCode = static_cast<int16_t>(result.error_code);
}

}  // namespace

Variant QueryMessage(session::Session& session, MessageObject& message, bool wait_for_response) {
  auto procedure = session.Procedure("QueryMessage");
  session.owner().LastMessageID.clear();
  switch (session.bind_state().BindingType()) {
    case kBoundAsReceiver:
      session.RaiseError(ErrorCode::BoundAsReceiver, kComponentSource,
                         "Invalid operation when Bound as receiver");
      break;
    case kBoundAsTransmitter:
    case kBoundAsTransceiver: {
      const int32_t last_before = session.sequence().Last();
      QueryTSM(session, message);
      if (!wait_for_response) break;
      // The wait ends on the answer with this query's sequence number; after
      // a refusal or a timeout the previous answer is copied.
      procedure.Step([&] {
        const int32_t sequence_number = session.sequence().Last();
        session::ResponseWaits& waits = session.response_waits();
        if (sequence_number == last_before) {
          // Nothing was sent: any id ends the wait, as it always did.
          const std::string& last_message_id = session.owner().LastMessageID;
          session.WaitForResponse([&] { return !last_message_id.empty(); });
        } else {
          waits.Expect(sequence_number);
          session.WaitForResponse([&] { return waits.IsAnswered(sequence_number); });
          waits.Take(sequence_number);
        }
        CopyLastQueryResult(session.LastQuery(), message);
      });
      break;
    }
    default:
      session.RaiseError(ErrorCode::NotBound, kComponentSource, "Not bound");
      break;
  }
  return Variant();
}

void QueryTSM(session::Session& session, MessageObject& message) {
  auto procedure = session.Procedure("QueryTSM");
  SendRequest(session, procedure, message, "Sent QUERY_SM", [&](int32_t sequence_number) {
    return encoders::EncodeQuery(message, sequence_number);
  });
}

}  // namespace korvane::outbound
