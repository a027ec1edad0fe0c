#include "session/binding.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/header_only_pdu.hpp"
#include "session/session.hpp"
#include "vocabulary/command_ids.hpp"
#include "vocabulary/octets.hpp"
#include "vocabulary/pdu_writer.hpp"

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
  const std::string_view address_range =
      request.with_address_range ? std::string_view(settings.receiver_address_range) : "";
  std::optional<vocabulary::PduWriter> writer;
  procedure.Step([&] {
    // The header, three C-octet strings, three octets and the address range.
    const std::size_t length = vocabulary::kHeaderLength + settings.system_id.size() + 1 +
                               settings.password.size() + 1 + settings.system_type.size() + 1 + 3 +
                               address_range.size() + 1;
    writer.emplace(vocabulary::PduWriter::Computed(static_cast<uint32_t>(length),
                                                   request.command_id, request.sequence_number));
    writer->PutCString(settings.system_id);
    writer->PutCString(settings.password);
    writer->PutCString(settings.system_type);
  });
  if (!writer) return;
  procedure.Step([&] { writer->PutOctet(settings.protocol_id); });
  procedure.Step([&] { writer->PutOctet(settings.address_ton); });
  procedure.Step([&] { writer->PutOctet(settings.address_npi); });
  std::vector<uint8_t> pdu;
  procedure.Step([&] {
    writer->PutCString(address_range);
    pdu = std::move(*writer).Finish();
  });
  if (pdu.empty()) return;
  if (settings.enable_trace)
    procedure.Step([&] { session.CalcTraceLog(pdu, request.trace_label); });
  procedure.Step([&] { session.transport().wsSendData(std::move(pdu)); });
}

}  // namespace

int16_t Bind(Session& session, int32_t binding_type) {
  auto procedure = session.Procedure("Bind");
  bool connected = false;
  procedure.Step([&] {
    session.bind_result = 0;
    connected = session.transport().InitTxRx();
    if (!connected) session.binding_type = 0;
  });
  if (connected) {
    procedure.Step([&] {
      session.binding_type = binding_type;
      switch (binding_type) {
        case 1:
          SendBind(session, kBindReceiver);
          break;
        case 2:
          SendBind(session, kBindTransmitter);
          break;
        case 3:
          SendBind(session, kBindTransceiver);
          break;
        default:
          session.RaiseError(20390, "KorvaneSMPP", "Invalid Binding Type");
          session.binding_type = 0;
      }
    });
    procedure.Step([&] { session.WaitForResponse([&] { return session.bind_result != 0; }); });
  }
  return static_cast<int16_t>(session.bind_result);
}

void Unbind(Session& session) {
  auto procedure = session.Procedure("Unbind");
  procedure.Step([&] {
    SendHeaderOnlyPdu(session, vocabulary::kUnbind,
                      vocabulary::LongToOctets(session.sequence().Next()), "Sent Unbind");
  });
  procedure.Step([&] { session.WaitForResponse([&] { return session.binding_type == 0; }); });
  // PDUs handed to the socket during the wait (the acknowledgements of
  // deliver_sm handled there) may still wait in it, and closing drops them.
  // An SMSC that answered the unbind is reading: let them go out first.
  procedure.Step([&] {
    platform::TcpSocket& socket = session.socket();
    if (session.binding_type != 0 || !session.transport().Connected()) return;
    session.WaitForResponse(
        [&] { return socket.QueuedOutput() == 0 || !session.transport().Connected(); });
  });
  procedure.Unchecked([&] {
    session.transport().CloseSocket();
    session.binding_type = 0;
    // The connection is closed whether or not the SMSC answered, so the
    // session no longer counts as bound.
    session.owner().ConnectedAndBound = false;
  });
}

}  // namespace korvane::session
