// The dispatch branches of the session-level PDUs: generic_nack, the bind
// responses, unbind and unbind_resp, enquire_link and enquire_link_resp.
// Each sets its trace label first, then checks the status and acts.
#pragma once

#include "inbound/received_pdu.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::inbound {

using Branch = void (*)(session::Session& session, ReceivedPdu& pdu);

void HandleGenericNack(session::Session& session, ReceivedPdu& pdu);
// bind_receiver_resp, bind_transmitter_resp and bind_transceiver_resp.
void HandleBindResponse(session::Session& session, ReceivedPdu& pdu);
// unbind_resp, and the SMSC's own unbind.
void HandleUnbind(session::Session& session, ReceivedPdu& pdu);
// enquire_link_resp, and the SMSC's own enquire_link.
void HandleEnquireLink(session::Session& session, ReceivedPdu& pdu);

}  // namespace korvane::inbound
