#include "inbound/message_reception.hpp"

#include <exception>
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

// With AckAfterHandler: raises MessageReceived, then sends `response` with
// the status the handlers chose (ResponseStatus), or 0x64 when one threw;
// the failure is then reported as usual.
void RaiseThenAnswer(session::Session& session, ReceivedPdu& pdu, MessageObject& message,
                     std::vector<uint8_t> response, std::string_view trace_label) {
  std::exception_ptr failure;
  try {
    session.Raise([&](SMPPEvents& sink) { sink.MessageReceived(message); });
  } catch (...) {
    failure = std::current_exception();
  }
  const uint32_t status = failure ? vocabulary::kStatusTemporaryAppError : message.ResponseStatus;
  for (std::size_t octet = 0; octet < 4; ++octet)
    response[vocabulary::kCommandStatusOffset + octet] =
        static_cast<uint8_t>(status >> (24 - 8 * octet));
  pdu.procedure->Step([&] { SendResponse(session, std::move(response), trace_label); });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void ReceiveDataSm(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received DATA_SM";
  decoders::DecodedDeliverSm decoded = decoders::DecodeDataSm(pdu.octets);
  for (const ComponentError& fault : decoded.faults) {
    pdu.procedure->Step([&] { throw fault; });
  }
  MessageObject& message = decoded.message;
  if (session.settings().ack_after_handler) {
    RaiseThenAnswer(session, pdu, message, encoders::EncodeDataSmResp(pdu.header.sequence_number),
                    "Sent DATA_SM_RESP");
    return;
  }
  pdu.procedure->Step([&] {
    SendResponse(session, encoders::EncodeDataSmResp(pdu.header.sequence_number),
                 "Sent DATA_SM_RESP");
  });
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
  MessageObject& message = decoded.message;
  if (session.settings().ack_after_handler) {
    RaiseThenAnswer(session, pdu, message,
                    encoders::EncodeDeliverSmResp(pdu.header.sequence_number),
                    "Sent DELIVER_SM_RESP");
  } else {
    pdu.procedure->Step([&] { DeliverSMSresponse(session, pdu.header.sequence_number); });
    session.Raise([&](SMPPEvents& sink) { sink.MessageReceived(message); });
  }
  if (!decoded.ShortMessageComplete()) {
    const std::string text = LengthMismatchText(decoded.declared_length, decoded.received_length);
    session.RaiseWarning(ErrorCode::DeliverSmFault, vocabulary::kComponentSource, text);
    session.SendDebugMsg(text);
  }
}

}  // namespace korvane::inbound
