// The public face of the session: construction and destruction, the
// properties, and the methods, which hand over to the session's procedures.
// Every accessor runs under the session's error trap with the procedure name
// the error report shows.
#include "diagnostics/hex_octets.hpp"
#include "diagnostics/hooks.hpp"
#include "inbound/dispatcher.hpp"
#include "korvane/error_codes.hpp"
#include "korvane/platform.hpp"
#include "korvane/smpp_session.hpp"
#include "korvane/version.hpp"
#include "outbound/cancel.hpp"
#include "outbound/deliver.hpp"
#include "outbound/query.hpp"
#include "outbound/send_message.hpp"
#include "outbound/submit_async.hpp"
#include "session/binding.hpp"
#include "session/link_supervision.hpp"
#include "session/session.hpp"
#include "session/time_zone.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane {
namespace {

// The session with the inbound side attached: received PDUs go to the
// dispatcher.
std::unique_ptr<session::Session> WithInbound(std::unique_ptr<session::Session> session) {
  session::Session& attached = *session;
  attached.transport().OnPdusReceived([&attached] { inbound::RPDUNotification(attached); });
  return session;
}

std::unique_ptr<session::Session> MakeSession(SMPP& owner, asio::io_context& loop) {
  auto environment = platform::MakeAsioEnvironment(loop);
  platform::Environment& reference = *environment;
  return WithInbound(std::make_unique<session::Session>(owner, reference, std::move(environment)));
}

}  // namespace

SMPP::SMPP() : SMPP(platform::ThreadEventLoop()) {}

SMPP::SMPP(asio::io_context& loop) : session_(MakeSession(*this, loop)) {}

SMPP::SMPP(platform::Environment& environment)
    : session_(WithInbound(std::make_unique<session::Session>(*this, environment))) {}

SMPP::~SMPP() {
  // The unbind is trapped; only a host handler that throws from the Error
  // event itself could still get here, and nothing may leave a destructor.
  try {
    session_->Shutdown();
  } catch (...) {
  }
  // Every submission still open completes now, once: sent ones as
  // ConnectionLost, queued ones as NotSent; nothing is sent any more.
  try {
    session_->submit_window().Close();
  } catch (...) {
  }
}

// Each accessor is one trapped step named after its property, as the error
// report shows it. A failed read returns the type's empty value; a failed
// write leaves the stored value as it was.
#define KORVANE_GET(name, type, expression)                                      \
  type SMPP::name() const {                                                      \
    return session_->Procedure(#name "[Property Get]").Value<type>(type{}, [&] { \
      return expression;                                                         \
    });                                                                          \
  }
#define KORVANE_LET(name, type, target, expression)                                 \
  void SMPP::name(type value) {                                                     \
    session_->Procedure(#name "[Property Let]").Step([&] { target = expression; }); \
  }
#define KORVANE_FIELD(name, type, field)              \
  KORVANE_GET(name, type, session_->settings().field) \
  KORVANE_LET(name, type, session_->settings().field, value)
#define KORVANE_TEXT_FIELD(name, field)                      \
  KORVANE_GET(name, std::string, session_->settings().field) \
  KORVANE_LET(name, const std::string&, session_->settings().field, value)
#define KORVANE_ENUM_FIELD(name, type, field)                            \
  KORVANE_GET(name, type, static_cast<type>(session_->settings().field)) \
  KORVANE_LET(name, type, session_->settings().field, static_cast<int32_t>(value))

KORVANE_TEXT_FIELD(SMPPServerAddress, server_address)
KORVANE_FIELD(SMPPServerPort, int32_t, server_port)
KORVANE_TEXT_FIELD(SystemID, system_id)
KORVANE_TEXT_FIELD(UserName, system_id)
KORVANE_TEXT_FIELD(SystemType, system_type)
KORVANE_ENUM_FIELD(ProtocolID, ProtocolIDs, protocol_id)
KORVANE_ENUM_FIELD(AddressTON, AddressTypeOfNumbers, address_ton)
KORVANE_ENUM_FIELD(AddressNPI, AddressNumberPlanIndicators, address_npi)
KORVANE_ENUM_FIELD(DataCodingScheme, SMSDataCodingSchemes, data_coding_scheme)
KORVANE_FIELD(EnableDebugMessages, bool, enable_debug)
KORVANE_FIELD(EnableTraceMessages, bool, enable_trace)
KORVANE_FIELD(AutoUnbindOnDestroy, bool, auto_unbind_on_destroy)
KORVANE_FIELD(OperationsTimeout, int16_t, operations_timeout)
KORVANE_FIELD(ConnectionTimeout, int16_t, connection_timeout)
KORVANE_FIELD(LinkTimeout, int16_t, link_timeout)
KORVANE_FIELD(AutoReconnect, bool, auto_reconnect)
KORVANE_FIELD(ReconnectInitialDelayMs, int32_t, reconnect_initial_delay_ms)
KORVANE_FIELD(ReconnectMaxDelayMs, int32_t, reconnect_max_delay_ms)
KORVANE_GET(AutoEnquireLinkInterval, int16_t, session_->link_supervisor().Interval())
KORVANE_GET(Password, Variant, Variant(session_->settings().password))
KORVANE_LET(Password, const Variant&, session_->settings().password, value.ToText())
KORVANE_GET(ReceiverAddressRange, std::string, session_->settings().receiver_address_range)

// The socket's view, asked each time. Before a connection there is no
// address and no handle, and the local port is the one the next connect
// binds to.
KORVANE_GET(LocalIPAddress, std::string, session_->socket().LocalIPAddress())
KORVANE_GET(SocketHandle, int32_t, session_->socket().SocketHandle())
KORVANE_GET(LocalTCPPort, int32_t, session_->socket().LocalPort())

KORVANE_GET(TimeZoneBias, std::string, session::TimeZoneSuffix())

#undef KORVANE_ENUM_FIELD
#undef KORVANE_TEXT_FIELD
#undef KORVANE_FIELD
#undef KORVANE_LET
#undef KORVANE_GET

void SMPP::ReceiverAddressRange(const std::string& value) {
  session_->Procedure("ReceiverAddressRange[Property Let]").Step([&] {
    if (value.size() > vocabulary::kMaxAddressRangeLength) {
      throw ComponentError(static_cast<int32_t>(ErrorCode::InvalidAddressRangeLength),
                           "Invalid Address range length");
    }
    session_->settings().receiver_address_range = value;
  });
}

void SMPP::TimeZoneBias(const std::string& value) {
  session_->Procedure("TimeZoneBias[Property Let]").Step([&] {
    session::SetTimeZoneSuffix(value);
  });
}

void SMPP::LocalTCPPort(int32_t value) {
  session_->Procedure("LocalTCPPort[Property Let]").Step([&] {
    session_->socket().LocalPort(value);
  });
}

void SMPP::AutoEnquireLinkInterval(int16_t value) {
  session_->Procedure("AutoEnquireLinkInterval[Property Let]").Step([&] {
    session_->link_supervisor().SetInterval(value);
  });
}

int16_t SMPP::Bind(BindTypes BindingType) {
  return session::Bind(*session_, static_cast<int32_t>(BindingType));
}

void SMPP::Unbind() { session::Unbind(*session_); }

bool SMPP::EnquireLink() { return session::EnquireLink(*session_); }

// Untrapped: a piece that is not a hexadecimal octet is the caller's error
// (13 or 6) and nothing is dispatched.
void SMPP::DebugPDU(const std::string& sPDU) {
  std::vector<uint8_t> pdu = diagnostics::ParseHexOctets(sPDU);
  inbound::TestPDU(*session_, std::move(pdu));
}

bool SMPP::SubmitAsync(MessageObject Message, SubmitCompletion Completion) {
  return outbound::SubmitAsync(*session_, std::move(Message), std::move(Completion));
}

int32_t SMPP::MaxOutstanding() const { return session_->settings().max_outstanding; }
void SMPP::MaxOutstanding(int32_t value) { session_->settings().max_outstanding = value; }
int32_t SMPP::MaxQueuedSubmissions() const { return session_->settings().max_queued; }
void SMPP::MaxQueuedSubmissions(int32_t value) { session_->settings().max_queued = value; }
int32_t SMPP::MaxSubmitsPerSecond() const { return session_->settings().max_submits_per_second; }
void SMPP::MaxSubmitsPerSecond(int32_t value) {
  session_->settings().max_submits_per_second = value;
}
int32_t SMPP::ThrottleRetryLimit() const { return session_->settings().throttle_retry_limit; }
void SMPP::ThrottleRetryLimit(int32_t value) { session_->settings().throttle_retry_limit = value; }
int32_t SMPP::MaxOutputBytes() const { return session_->settings().max_output_bytes; }
void SMPP::MaxOutputBytes(int32_t value) { session_->settings().max_output_bytes = value; }
bool SMPP::AckAfterHandler() const { return session_->settings().ack_after_handler; }
void SMPP::AckAfterHandler(bool value) { session_->settings().ack_after_handler = value; }

std::string SMPP::SendMessage(MessageObject& Message, bool WaitForMessageID) {
  return outbound::SendMessage(*session_, Message, WaitForMessageID);
}

std::string SMPP::SendMessageAsp(LateBound& Message, bool WaitForMessageID) {
  return outbound::SendMessageAsp(*session_, Message, WaitForMessageID);
}

Variant SMPP::QueryMessage(MessageObject& Message, bool WaitForResponse) {
  return outbound::QueryMessage(*session_, Message, WaitForResponse);
}

void SMPP::CancelMessage(MessageObject& Message) { outbound::CancelMessage(*session_, Message); }

Variant SMPP::DeliverShortMessage(MessageObject& Message) {
  return outbound::DeliverShortMessage(*session_, Message);
}

MessageObject SMPP::NewMessage() {
  return session_->Procedure("NewMessage").Value<MessageObject>({}, [] { return MessageObject(); });
}

void SMPP::AboutKVSMPP() {
  session_->Procedure("AboutKVSMPP").Step([] {
    diagnostics::ShowAbout(vocabulary::kComponentSource, KORVANE_SMPP_VERSION_STRING);
  });
}

void SMPP::Subscribe(SMPPEvents& sink) { session_->sinks().Subscribe(sink); }

void SMPP::Unsubscribe(SMPPEvents& sink) { session_->sinks().Unsubscribe(sink); }

}  // namespace korvane
