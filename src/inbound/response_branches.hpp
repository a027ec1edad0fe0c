// The dispatch branches of the responses to the library's message
// operations: submit_sm_resp, submit_multi_resp, query_sm_resp,
// cancel_sm_resp, and deliver_sm_resp (with the deliver_sm it shares its
// command low octet with). Responses are not matched to their requests: each
// accepted one is reported with a fresh MessageObject.
#pragma once

#include "inbound/received_pdu.hpp"

namespace korvane::session {
class Session;
}

namespace korvane::inbound {

// submit_sm_resp: sets LastMessageID and raises MessageDelivered.
void HandleSubmitSmResp(session::Session& session, ReceivedPdu& pdu);
// submit_multi_resp: as submit_sm_resp, with the unsuccessful destinations
// as the recipient list of the event's object.
void HandleSubmitMultiResp(session::Session& session, ReceivedPdu& pdu);
// query_sm_resp: sets LastMessageID and the last query result and raises
// MessageStatusReceived.
void HandleQuerySmResp(session::Session& session, ReceivedPdu& pdu);
// cancel_sm_resp: raises MessageCancelResult with the sequence number.
void HandleCancelSmResp(session::Session& session, ReceivedPdu& pdu);
// Command low octet 5: an accepted deliver_sm, otherwise deliver_sm_resp.
void HandleDeliverSm(session::Session& session, ReceivedPdu& pdu);

}  // namespace korvane::inbound
