#include "outbound/cancel.hpp"

#include "encoders/query_cancel_encoders.hpp"
#include "outbound/request_sending.hpp"
#include "session/session.hpp"

namespace korvane::outbound {

void CancelMessage(session::Session& session, MessageObject& message) {
  if (session.socket().SocketHandle() == 0) return;
  CancelSM(session, message);
}

void CancelSM(session::Session& session, MessageObject& message) {
  auto procedure = session.Procedure("CancelSM");
  SendRequest(session, procedure, message, "Sent CANCEL_SM", [&](int32_t sequence_number) {
    return encoders::EncodeCancel(message, sequence_number);
  });
}

}  // namespace korvane::outbound
