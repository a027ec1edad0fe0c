#include "inbound/message_reception.hpp"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decoders/deliver_sm_decoder.hpp"
#include "encoders/session_encoders.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::inbound {
namespace {

std::string LengthMismatchText(std::size_t declared, std::size_t received) {
  return "Error in Message Length of Deliver SM Packet- Declared:" + std::to_string(declared) +
         ", Received:" + std::to_string(received);
}

}  // namespace

void DeliverSMSresponse(session::Session& session, uint32_t sequence_number) {
  std::vector<uint8_t> response = encoders::EncodeDeliverSmResp(sequence_number);
  if (session.settings().enable_trace) session.CalcTraceLog(response, "Sent DELIVER_SM_RESP");
  session.transport().wsSendData(std::move(response));
}

namespace {

void SendResponse(session::Session& session, std::vector<uint8_t> response,
                  std::string_view trace_label) {
  if (session.settings().enable_trace) session.CalcTraceLog(response, trace_label);
  session.transport().wsSendData(std::move(response));
}

}  // namespace

void ReceiveDataSm(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DATA_SM";
  decoders::DecodedDeliverSm decoded = decoders::DecodeDataSm(pdu.octets);
  for (const ComponentError& fault : decoded.faults) {
    pdu.procedure->Step([&] { throw fault; });
  }
  pdu.procedure->Step([&] {
    SendResponse(session, encoders::EncodeDataSmResp(pdu.header.sequence_number),
                 "Sent DATA_SM_RESP");
  });
  MessageObject& message = decoded.message;
  session.Raise([&](SMPPEvents& sink) { sink.MessageReceived(message); });
}

void RefuseUnknownRequest(session::Session& session, ReceivedPdu& pdu) {
  SendResponse(
      session,
      encoders::EncodeGenericNack(vocabulary::kStatusInvalidCommandId, pdu.header.sequence_number),
      "Sent GENERIC_NACK");
}

void ReceiveMessage(session::Session& session, ReceivedPdu& pdu) {
  decoders::DecodedDeliverSm decoded = decoders::DecodeDeliverSm(pdu.octets);
  for (const ComponentError& fault : decoded.faults) {
    pdu.procedure->Step([&] { throw fault; });
  }
  pdu.procedure->Step([&] { DeliverSMSresponse(session, pdu.header.sequence_number); });
  MessageObject& message = decoded.message;
  session.Raise([&](SMPPEvents& sink) { sink.MessageReceived(message); });
  if (!decoded.ShortMessageComplete()) {
    const std::string text = LengthMismatchText(decoded.declared_length, decoded.received_length);
    session.RaiseWarning(ErrorCode::DeliverSmFault, vocabulary::kComponentSource, text);
    session.SendDebugMsg(text);
  }
}

}  // namespace korvane::inbound
