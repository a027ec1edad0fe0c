#include "session/transport.hpp"

#include <chrono>
#include <exception>
#include <string>
#include <utility>

#include "diagnostics/error_record.hpp"
#include "session/binding.hpp"
#include "session/header_only_pdu.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::session {

using platform::kSocketConnected;

Transport::Transport(Session& session)
    : session_(session), socket_(session.environment().CreateSocket(*this)) {}

Transport::~Transport() = default;

bool Transport::InitTxRx() {
  bool connected = false;
  auto procedure = session_.Procedure("InitTxRx");
  procedure.Step([&] {
    if (socket_->State() > platform::kSocketClosed) {
      if (socket_->State() == kSocketConnected) Unbind(session_);
      CloseSocket();
    }
  });
  procedure.Step([&] {
    const SessionSettings& settings = session_.settings();
    socket_->Connect(settings.server_address, settings.server_port);
    const auto start = session_.environment().MonotonicNow();
    const std::chrono::duration<double> timeout(settings.connection_timeout);
    while (socket_->State() != kSocketConnected) {
      session_.environment().Yield();
      if (socket_->State() == kSocketConnected) break;
      if (session_.environment().MonotonicNow() - start > timeout) break;
      if (socket_->State() > kSocketConnected) break;
    }
    connected = socket_->State() == kSocketConnected;
    if (connected) {
      established_ = true;
    } else {
      CloseSocket();
    }
  });
  return connected;
}

bool Transport::wsSendData(std::vector<uint8_t> pdu) {
  bool sent = false;
  session_.Procedure("wsSendData").Unchecked([&] {
    if (socket_->State() != kSocketConnected) {
      session_.RaiseError(ErrorCode::SendNotConnected, "Winsock",
                          "Error sending data. Not connected");
      return;
    }
    try {
      socket_->SendData(std::move(pdu));
      sent = true;
    } catch (...) {
      const diagnostics::ErrorRecord failure =
          diagnostics::ErrorFromException(std::current_exception());
      session_.RaiseError(failure.number, vocabulary::kComponentSource,
                          failure.description + "[Internal Error Sending Data]");
    }
  });
  return sent;
}

bool Transport::HasRoomFor(std::size_t octets) const {
  const int32_t cap = session_.settings().max_output_bytes;
  const std::size_t queued = socket_->QueuedOutput();
  return cap <= 0 || queued == 0 || queued + octets <= static_cast<std::size_t>(cap);
}

void Transport::ReportOutputFull() {
  std::string text = "The output queue is full: ";
  text += std::to_string(socket_->QueuedOutput());
  text += " octets wait to be sent (MaxOutputBytes ";
  text += std::to_string(session_.settings().max_output_bytes);
  text += "). Nothing was sent";
  session_.RaiseError(ErrorCode::OutputQueueFull, vocabulary::kComponentSource, text);
}

void Transport::CloseSocket() {
  ++closes_;
  socket_->Close();
  // Nothing of this connection may stand in front of the next one: neither
  // the start of a PDU nor whole PDUs still queued behind the one a handler
  // is in (acknowledged on the next connection, a deliver_sm would reach an
  // SMSC that never sent it there, and would come again).
  framer_.Clear();
  session_.received().clear();
  established_ = false;
  discarding_ = false;
  session_.dead_link_watch().Stop();
  session_.submit_window().ConnectionEnded();
}

void Transport::Lose(bool reset_bind_result, bool close) {
  const BindState& state = session_.bind_state();
  session_.reconnector().ConnectionLosing(state.BindResult() != 0 ? state.BindingType() : 0);
  if (close) CloseSocket();
  ConnectionLost(reset_bind_result);
  session_.reconnector().ConnectionLost();
}

void Transport::DropDeadLink() {
  session_.Procedure("LinkTimeout").Step([&] {
    session_.SendDebugMsg("No answer from the SMSC within LinkTimeout. Connection closed");
    if (Connected()) {
      SendHeaderOnlyPdu(session_, vocabulary::kUnbind,
                        static_cast<uint32_t>(session_.sequence().Next()), "Sent Unbind");
    }
    Lose(/*reset_bind_result=*/true, /*close=*/true);
  });
}

void Transport::ConnectionLost(bool reset_bind_result) {
  established_ = false;
  framer_.Clear();
  session_.dead_link_watch().Stop();
  session_.bind_state().ConnectionLost(reset_bind_result);
  session_.Raise([](SMPPEvents& sink) { sink.ConnectionClosed(); });
  session_.submit_window().ConnectionEnded();
}

void Transport::OnSocketClose() {
  session_.Procedure("wSock_Close").Step([&] {
    // The peer's side is closed; ours stays until the next connect or unbind.
    Lose(/*reset_bind_result=*/true, /*close=*/false);
  });
}

void Transport::OnSocketDataArrival(std::size_t) {
  session_.Procedure("wSock_DataArrival").Step([&] {
    if (socket_->State() != kSocketConnected) return;
    std::vector<uint8_t> arrived = socket_->GetData();
    if (discarding_) return;
    if (!arrived.empty()) session_.dead_link_watch().Stop();
    PduFramer::Result framed = framer_.Feed(std::move(arrived));
    auto& queue = session_.received();
    for (auto& pdu : framed.pdus) queue.push_back(std::move(pdu));
    // What follows a broken length cannot be cut into PDUs: later arrivals
    // are dropped until the connection is closed below.
    if (framed.invalid_length) discarding_ = true;
    if (on_pdus_received_) on_pdus_received_();
    if (framed.invalid_length) ReportFramingError(*framed.invalid_length);
  });
}

void Transport::ReportFramingError(uint32_t command_length) {
  session_.RaiseError(ErrorCode::InvalidCommandLength, vocabulary::kComponentSource,
                      "Invalid command_length " + std::to_string(command_length) +
                          " received (allowed " + std::to_string(kMinCommandLength) + " to " +
                          std::to_string(kMaxCommandLength) + "). Connection closed");
  // A later connection may already have replaced the broken one while the
  // host's handlers ran; only the broken one is closed.
  if (!discarding_) return;
  Lose(/*reset_bind_result=*/false, /*close=*/true);
}

void Transport::OnSocketError(int32_t number, const std::string& description) {
  session_.Procedure("wSock_Error").Step([&] {
    if (IsError(number, ErrorCode::ConnectionAborted)) {
      Lose(/*reset_bind_result=*/false, /*close=*/true);
      session_.RaiseWarning(number, "Winsock", description);
      return;
    }
    // Errors while connecting arrive during InitTxRx's wait, which closes
    // the socket itself; an established connection that fails is lost.
    const bool lost = established_;
    const uint64_t closes = closes_;
    session_.RaiseError(number, "Winsock", description);
    // Unless the host's handler has already closed it or connected anew.
    if (lost && closes == closes_) Lose(/*reset_bind_result=*/true, /*close=*/true);
  });
}

}  // namespace korvane::session
