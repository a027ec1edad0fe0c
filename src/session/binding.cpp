#include "session/binding.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "encoders/session_encoders.hpp"
#include "korvane/errors.hpp"
#include "session/header_only_pdu.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::session {
namespace {

struct BindRequest {
  std::string_view procedure;  // as error reports name it
  std::string_view trace_label;
  uint32_t command_id;
  int32_t sequence_number;  // fixed: bind requests leave the counter alone
  bool with_address_range;  // bind_transmitter sends an empty address_range
};

constexpr BindRequest kBindReceiver{"BindAsReceiver", "Sent Bind Receiver",
                                    vocabulary::kBindReceiver, vocabulary::kBindReceiverSequence,
                                    true};
constexpr BindRequest kBindTransmitter{"BindAsTransmitter", "Sent Bind Transmitter",
                                       vocabulary::kBindTransmitter,
                                       vocabulary::kBindTransmitterSequence, false};
constexpr BindRequest kBindTransceiver{"BindAsTransceiver", "Sent Bind Transceiver",
                                       vocabulary::kBindTransceiver,
                                       vocabulary::kBindTransceiverSequence, true};

// Builds, traces and sends one bind request from the session's settings. An
// octet field outside 0..255 is reported and sent as 0x00; the PDU goes out
// all the same.
void SendBind(Session& session, const BindRequest& request) {
  auto procedure = session.Procedure(request.procedure);
  const SessionSettings& settings = session.settings();
  encoders::EncodedBind encoded;
  procedure.Step([&] {
    encoded = encoders::EncodeBind({
        .command_id = request.command_id,
        .sequence_number = request.sequence_number,
        .system_id = settings.system_id,
        .password = settings.password,
        .system_type = settings.system_type,
        .interface_version = settings.protocol_id,
        .addr_ton = settings.address_ton,
        .addr_npi = settings.address_npi,
        .address_range =
            request.with_address_range ? std::string_view(settings.receiver_address_range) : "",
    });
  });
  for (const ComponentError& fault : encoded.faults) procedure.Step([&] { throw fault; });
  std::vector<uint8_t>& pdu = encoded.pdu;
  if (pdu.empty()) return;
  if (settings.enable_trace)
    procedure.Step([&] { session.CalcTraceLog(pdu, request.trace_label); });
  procedure.Step([&] { session.transport().wsSendData(std::move(pdu)); });
}

}  // namespace

bool SendBindRequest(Session& session, int32_t binding_type) {
  switch (binding_type) {
    case 1:
      SendBind(session, kBindReceiver);
      return true;
    case 2:
      SendBind(session, kBindTransmitter);
      return true;
    case 3:
      SendBind(session, kBindTransceiver);
      return true;
    default:
      session.RaiseError(ErrorCode::InvalidBindingType, vocabulary::kComponentSource,
                         "Invalid Binding Type");
      return false;
  }
}

int16_t Bind(Session& session, int32_t binding_type) {
  auto procedure = session.Procedure("Bind");
  // The host binds itself: an automatic rebind in progress gives way.
  session.reconnector().Stop();
  bool connected = false;
  procedure.Step([&] {
    session.bind_state().BindStarted();
    connected = session.transport().InitTxRx();
    if (!connected) session.bind_state().RequestDropped();
  });
  if (connected) {
    procedure.Step([&] {
      session.bind_state().Requested(binding_type);
      if (!SendBindRequest(session, binding_type)) session.bind_state().RequestDropped();
    });
    procedure.Step(
        [&] { session.WaitForResponse([&] { return session.bind_state().BindResult() != 0; }); });
  }
  return static_cast<int16_t>(session.bind_state().BindResult());
}

void Unbind(Session& session) {
  auto procedure = session.Procedure("Unbind");
  // The host ends the binding: no automatic rebind follows or goes on.
  session.reconnector().Stop();
  procedure.Step([&] {
    SendHeaderOnlyPdu(session, vocabulary::kUnbind,
                      static_cast<uint32_t>(session.sequence().Next()), "Sent Unbind");
  });
  procedure.Step(
      [&] { session.WaitForResponse([&] { return session.bind_state().BindingType() == 0; }); });
  // PDUs handed to the socket during the wait (the acknowledgements of
  // deliver_sm handled there) may still wait in it, and closing drops them.
  // An SMSC that answered the unbind is reading: let them go out first.
  procedure.Step([&] {
    platform::TcpSocket& socket = session.socket();
    if (session.bind_state().BindingType() != 0 || !session.transport().Connected()) return;
    session.WaitForResponse(
        [&] { return socket.QueuedOutput() == 0 || !session.transport().Connected(); });
  });
  procedure.Unchecked([&] {
    session.transport().CloseSocket();
    // The connection is closed whether or not the SMSC answered, so the
    // session no longer counts as bound.
    session.bind_state().Unbound();
  });
}

}  // namespace korvane::session
