#include "inbound/response_branches.hpp"

#include <cstdint>
#include <string>

#include "inbound/check_error.hpp"
#include "inbound/final_date.hpp"
#include "inbound/message_reception.hpp"
#include "inbound/session_branches.hpp"
#include "korvane/message_object.hpp"
#include "session/session.hpp"
#include "vocabulary/pdu_reader.hpp"

namespace korvane::inbound {
namespace {

constexpr const char* kSource = "KorvaneSMPP";
constexpr std::size_t kBodyStart = 16;

struct ResponseKind {
  std::string_view trace_label;
  std::string_view operation;
  int32_t invalid_number;
  const char* invalid_text;
};

// Names the PDU and checks it; a response that is not accepted raises its
// invalid-data Error.
bool Accept(session::Session& session, ReceivedPdu& pdu, const ResponseKind& kind) {
  pdu.trace_label = kind.trace_label;
  if (CheckError(session, pdu.status_low, kind.operation) && pdu.IsResponse()) return true;
  session.RaiseError(kind.invalid_number, kSource, kind.invalid_text);
  return false;
}

vocabulary::PduReader BodyReader(const ReceivedPdu& pdu) {
  vocabulary::PduReader reader(pdu.octets);
  reader.Seek(kBodyStart);
  return reader;
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

// One unsuccess_sme entry of a submit_multi_resp.
struct UnsuccessfulSme {
  AddressTypeOfNumbers ton{};
  AddressNumberPlanIndicators npi{};
  std::string address;
  uint32_t error_status_code = 0;
};

// Throws when the entry runs past the end of the PDU.
UnsuccessfulSme ReadUnsuccessfulSme(vocabulary::PduReader& reader) {
  UnsuccessfulSme sme;
  sme.ton = static_cast<AddressTypeOfNumbers>(reader.ReadOctet());
  sme.npi = static_cast<AddressNumberPlanIndicators>(reader.ReadOctet());
  sme.address = reader.ReadCString();
  sme.error_status_code = reader.ReadLong();
  return sme;
}

// The unsuccess_sme list, read with failures ignored: an entry that cannot
// be added is left out, and the list ends early with the PDU.
void ReadUnsuccessfulList(ReceivedPdu& pdu, vocabulary::PduReader& reader, MessageObject& message) {
  uint8_t count = 0;
  pdu.procedure->Unchecked([&] { count = reader.ReadOctet(); });
  message.UnsuccessfulDeliveries = count;
  for (int entry = 0; entry < count; ++entry) {
    bool read = false;
    UnsuccessfulSme sme;
    pdu.procedure->Unchecked([&] {
      sme = ReadUnsuccessfulSme(reader);
      read = true;
    });
    if (!read) return;
    pdu.procedure->Unchecked([&] {
      message.AddRecipient(sme.ton, sme.npi, sme.address);
      message.Recipients.back().StatusCode = StatusCodeOf(sme.error_status_code);
    });
  }
}

// A fresh object with the message_id that starts the body. The id also
// becomes LastMessageID, which ends a waiting SendMessage or QueryMessage.
MessageObject MessageWithId(session::Session& session, vocabulary::PduReader& reader) {
  MessageObject message;
  message.MessageID = reader.ReadCString();
  session.owner().LastMessageID = message.MessageID;
  return message;
}

void HandleDeliverSmResp(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DELIVER_SM_RESP";
  if (!CheckError(session, pdu.status_low, "Deliver SM")) {
    session.RaiseError(29005, kSource, "Invalid Data in Deliver SM RESP Segment");
  }
}

}  // namespace

void HandleSubmitSmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received SUBMIT_SM_RESP", "Submit SM", 29004, "Invalid Data in Submit SM Segment"}))
    return;
  vocabulary::PduReader reader = BodyReader(pdu);
  MessageObject message = MessageWithId(session, reader);
  RaiseWith(session, message, &SMPPEvents::MessageDelivered);
}

void HandleSubmitMultiResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received SUBMIT_MULTI_RESP", "Submit SM Multi", 29033,
               "Invalid Data in Submit SM Segment"}))
    return;
  vocabulary::PduReader reader = BodyReader(pdu);
  MessageObject message = MessageWithId(session, reader);
  ReadUnsuccessfulList(pdu, reader, message);
  RaiseWith(session, message, &SMPPEvents::MessageDelivered);
}

void HandleQuerySmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(
          session, pdu,
          {"Received QUERY_SM_RESP", "Query Message", 29003, "Invalid Data in Query SM Segment"}))
    return;
  vocabulary::PduReader reader = BodyReader(pdu);
  MessageObject message = MessageWithId(session, reader);
  const std::string final_date = reader.ReadCString();
  // message_state and error_code are the PDU's last two octets, wherever
  // final_date ended.
  reader.Seek(pdu.octets.size() - 2);
  const uint8_t state = reader.ReadOctet();
  const uint8_t error_code = reader.ReadOctet();
  // A final_date that is no date is reported; the zero date stands in.
  const DateTime date =
      pdu.procedure->Value<DateTime>(DateTime{}, [&] { return FinalDateOf(final_date); });

  session.last_query = {.state = state, .final_date = date, .error_code = error_code};
  message.FinalDeliveryDate = date;
  message.DeliveryStatus = static_cast<MessageStates>(state);
  message.DeliveryErrorCode = error_code;
  RaiseWith(session, message, &SMPPEvents::MessageStatusReceived);
}

void HandleCancelSmResp(session::Session& session, ReceivedPdu& pdu) {
  if (!Accept(session, pdu,
              {"Received CANCEL_SM_RESP", "Cancel SM", 29008, "Invalid Data in Cancel SM Segment"}))
    return;
  const vocabulary::PduHeader header = vocabulary::ReadHeader(pdu.octets);
  MessageObject message;
  // A sequence_number of 2^31 or more does not fit: reported, taken as 0.
  message.SequenceNumber =
      pdu.procedure->Value<int32_t>(0, [&] { return vocabulary::SequenceNumberOf(header); });
  message.CancelResultCode = static_cast<int32_t>(header.command_status);
  RaiseWith(session, message, &SMPPEvents::MessageCancelResult);
}

void HandleDeliverSm(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DELIVER_SM";
  if (CheckError(session, pdu.status_low, "Deliver SM") && pdu.IsRequest()) {
    ReceiveMessage(session, pdu);
    return;
  }
  HandleDeliverSmResp(session, pdu);
}

}  // namespace korvane::inbound
