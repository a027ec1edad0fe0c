#include "inbound/session_branches.hpp"

#include <string>
#include <vector>

#include "decoders/response_decoders.hpp"
#include "inbound/check_error.hpp"
#include "session/header_only_pdu.hpp"
#include "session/link_supervision.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::inbound {
namespace {

using vocabulary::kComponentSource;

struct BindKind {
  int32_t binding_type;
  std::string_view trace_label;
  std::string_view operation;
  ErrorCode invalid_number;
  const char* invalid_text;
};

BindKind BindKindOf(uint8_t command_low) {
  switch (command_low) {
    case 1:
      return {1, "Received BIND_RECEIVER_RESP", "Bind Receiver", ErrorCode::InvalidBindReceiverResp,
              "Invalid Data in Receiver Bind Segment"};
    case 2:
      return {2, "Received BIND_TRANSMITTER_RESP", "Bind Transmitter",
              ErrorCode::InvalidBindTransmitterResp, "Invalid Data in Transmitter Bind Segment"};
    default:
      return {3, "Received BIND_TRANSCEIVER_RESP", "Bind Transceiver",
              ErrorCode::InvalidBindTransceiverResp, "Invalid Data in Transceiver Bind Segment"};
  }
}

}  // namespace

void HandleGenericNack(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received GENERIC_NACK";
  if (!pdu.IsResponse()) return;
  CheckError(session, pdu.Status(), "NACK");
  // A sequence_number of 2^31 or more does not fit: reported, taken as 0.
  const decoders::DecodedHeaderResponse nack = decoders::DecodeHeaderResponse(pdu.header);
  if (nack.fault) pdu.procedure->Step([&] { throw *nack.fault; });
  const int32_t sequence_number = nack.sequence_number;
  session.ResponseArrived(static_cast<int32_t>(pdu.header.sequence_number),
                          pdu.Status() != 0 ? pdu.Status() : 0xFFFFFFFF, {});
  session.RaiseWarning(ErrorCode::GenericNack, kComponentSource, "Generic NACK received from SMSC");
  session.SendDebugMsg("Generic NACK received from SMSC");
  const auto status = static_cast<int32_t>(pdu.Status());
  session.Raise([&](SMPPEvents& sink) { sink.GenericNACK(status, sequence_number); });
}

void HandleBindResponse(session::Session& session, ReceivedPdu& pdu) {
  const BindKind kind = BindKindOf(pdu.CommandLow());
  pdu.trace_label = kind.trace_label;
  const bool accepted = CheckError(session, pdu.Status(), kind.operation) && pdu.IsResponse();
  if (!accepted) {
    session.bind_state().Refused();
    session.RaiseError(kind.invalid_number, kComponentSource, kind.invalid_text);
    session.reconnector().BindAnswered(false, pdu.Status());
    return;
  }
  const auto bind = [&] { session.bind_state().Accepted(kind.binding_type); };
  // A transceiver's Bound handler still sees the state from before the bind.
  if (kind.binding_type == 3) {
    session.Raise([](SMPPEvents& sink) { sink.Bound(); });
    bind();
  } else {
    bind();
    session.Raise([](SMPPEvents& sink) { sink.Bound(); });
  }
  // After Bound, as for any bind: an automatic rebind ends here.
  session.reconnector().BindAnswered(true, 0);
}

void HandleUnbind(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received UNBIND_RESP";
  const bool accepted = CheckError(session, pdu.Status(), "UnBind") && pdu.IsResponse();
  if (accepted) {
    session.Raise([](SMPPEvents& sink) { sink.UnBound(); });
  } else {
    session.RaiseError(ErrorCode::InvalidUnbind, kComponentSource,
                       "Invalid Data in UnBind Segment");
  }
  session.bind_state().Unbound();
  // The protocol requires the answer, and the SMSC waits for it before it
  // closes.
  if (pdu.IsRequest()) {
    session::SendHeaderOnlyPdu(session, vocabulary::kUnbindResp, pdu.header.sequence_number,
                               "Sent UNBIND_RESP");
  }
}

void HandleEnquireLink(session::Session& session, ReceivedPdu& pdu) {
  pdu.trace_label = "Received ENQUIRE_LINK_RESP";
  const bool accepted = CheckError(session, pdu.Status(), "Enquire Link") && pdu.IsResponse();
  if (accepted) {
    session.bind_state().LinkConfirmed();
    session.Raise([](SMPPEvents& sink) { sink.LinkOk(); });
    return;
  }
  session.RaiseWarning(ErrorCode::ServerEnquireLink, "KvSmpp", "Server sent EnquireLink");
  // Traced here, before the reply, instead of at the end of the dispatch.
  pdu.traced = true;
  if (session.settings().enable_trace) session.CalcTraceLog(pdu.octets, "Received ENQUIRE_LINK");
  session::EnquireLinkReply(session, pdu.header.sequence_number);
}

}  // namespace korvane::inbound
