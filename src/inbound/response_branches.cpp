#include "inbound/response_branches.hpp"

#include <cstdint>
#include <string>

#include "decoders/final_date.hpp"
#include "decoders/response_decoders.hpp"
#include "inbound/check_error.hpp"
#include "inbound/message_reception.hpp"
#include "inbound/session_branches.hpp"
#include "korvane/message_object.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::inbound {
namespace {

using vocabulary::kComponentSource;

int32_t SequenceOf(const ReceivedPdu& pdu) {
  return static_cast<int32_t>(pdu.header.sequence_number);
}

struct ResponseKind {
  std::string_view trace_label;
  std::string_view operation;
  ErrorCode invalid_number;
  const char* invalid_text;
};

// Names the PDU and checks it; a response that is not accepted raises its
// invalid-data Error.
bool Accept(session::Session& session, ReceivedPdu& pdu, const ResponseKind& kind) {
  pdu.trace_label = kind.trace_label;
  if (CheckError(session, pdu.Status(), kind.operation) && pdu.IsResponse()) return true;
  session.RaiseError(kind.invalid_number, kComponentSource, kind.invalid_text);
  // A refused response ends its own request's wait, after its errors.
  // A well-formed answer with status 0 that still failed counts as refused.
  if (pdu.IsResponse())
    session.ResponseArrived(SequenceOf(pdu), pdu.Status() != 0 ? pdu.Status() : 0xFFFFFFFF, {});
  return false;
}

template <typename Event>
void RaiseWith(session::Session& session, MessageObject& message, Event event) {
  session.Raise([&](SMPPEvents& sink) { (sink.*event)(message); });
}

// An error_status_code that does not fit the recipient's 16-bit StatusCode
// is stored as -1.
int16_t StatusCodeOf(uint32_t error_status_code) {
  return error_status_code <= 0x7FFF ? static_cast<int16_t>(error_status_code) : int16_t{-1};
}

// The unsuccess_sme list as the recipients of `message`: an entry that
// cannot be added is left out.
void AddUnsuccessful(ReceivedPdu& pdu, const decoders::DecodedSubmitMultiResp& decoded,
                     MessageObject& message) {
  message.UnsuccessfulDeliveries = decoded.no_unsuccess;
  for (const decoders::UnsuccessfulSme& sme : decoded.unsuccessful) {
    pdu.procedure->Unchecked([&] {
      message.AddRecipient(static_cast<AddressTypeOfNumbers>(sme.ton),
                           static_cast<AddressNumberPlanIndicators>(sme.npi), sme.address);
      message.Recipients.back().StatusCode = StatusCodeOf(sme.error_status_code);
    });
  }
}

// A fresh object with the message_id that starts the body. The id also
// becomes LastMessageID, and ends the wait of the request with this PDU's
// sequence number.
MessageObject MessageWithId(session::Session& session, const ReceivedPdu& pdu,
                            const std::string& message_id) {
  MessageObject message;
  message.MessageID = message_id;
  session.owner().LastMessageID = message.MessageID;
  session.ResponseArrived(SequenceOf(pdu), 0, message_id);
  return message;
}

void HandleDeliverSmResp(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DELIVER_SM_RESP";
  if (!CheckError(session, pdu.Status(), "Deliver SM")) {
    session.RaiseError(ErrorCode::DeliverSmFault, kComponentSource,
                       "Invalid Data in Deliver SM RESP Segment");
  }
}

}  // namespace

void HandleSubmitSmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received SUBMIT_SM_RESP", "Submit SM", ErrorCode::InvalidSubmitSmResp,
               "Invalid Data in Submit SM Segment"}))
    return;
  MessageObject message = MessageWithId(session, pdu, decoders::DecodeMessageId(pdu.octets));
  RaiseWith(session, message, &SMPPEvents::MessageDelivered);
}

void HandleSubmitMultiResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received SUBMIT_MULTI_RESP", "Submit SM Multi", ErrorCode::InvalidSubmitMultiResp,
               "Invalid Data in Submit SM Segment"}))
    return;
  const decoders::DecodedSubmitMultiResp decoded = decoders::DecodeSubmitMultiResp(pdu.octets);
  MessageObject message = MessageWithId(session, pdu, decoded.message_id);
  AddUnsuccessful(pdu, decoded, message);
  RaiseWith(session, message, &SMPPEvents::MessageDelivered);
}

void HandleQuerySmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received QUERY_SM_RESP", "Query Message", ErrorCode::InvalidQuerySmResp,
               "Invalid Data in Query SM Segment"}))
    return;
  const decoders::DecodedQuerySmResp decoded = decoders::DecodeQuerySmResp(pdu.octets);
  MessageObject message = MessageWithId(session, pdu, decoded.message_id);
  if (decoded.fault) throw *decoded.fault;
  const uint8_t state = decoded.message_state;
  const uint8_t error_code = decoded.error_code;
  // A final_date that is no date is reported; the zero date stands in.
  const DateTime date = pdu.procedure->Value<DateTime>(
      DateTime{}, [&] { return decoders::FinalDateOf(decoded.final_date); });

  session.QueryAnswered({.state = state, .final_date = date, .error_code = error_code});
  message.FinalDeliveryDate = date;
  message.DeliveryStatus = static_cast<MessageStates>(state);
  message.DeliveryErrorCode = error_code;
  RaiseWith(session, message, &SMPPEvents::MessageStatusReceived);
}

void HandleCancelSmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received CANCEL_SM_RESP", "Cancel SM", ErrorCode::InvalidCancelSmResp,
               "Invalid Data in Cancel SM Segment"}))
    return;
  const decoders::DecodedHeaderResponse decoded = decoders::DecodeHeaderResponse(pdu.header);
  MessageObject message;
  // A sequence_number of 2^31 or more does not fit: reported, taken as 0.
  if (decoded.fault) pdu.procedure->Step([&] { throw *decoded.fault; });
  message.SequenceNumber = decoded.sequence_number;
  message.CancelResultCode = static_cast<int32_t>(decoded.command_status);
  RaiseWith(session, message, &SMPPEvents::MessageCancelResult);
}

void HandleDeliverSm(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DELIVER_SM";
  if (CheckError(session, pdu.Status(), "Deliver SM") && pdu.IsRequest()) {
    ReceiveMessage(session, pdu);
    return;
  }
  HandleDeliverSmResp(session, pdu);
}

}  // namespace korvane::inbound
