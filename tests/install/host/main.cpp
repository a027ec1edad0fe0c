// Checks the installed package from a host's point of view: the umbrella
// header, the version (the package's, when the build gives it as
// KORVANE_EXPECTED_VERSION, and the library's own), the session's defaults
// and properties, its Error event, and the recipient limit of a message, and
// a Bind through the real socket.
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <cstdio>
#include <cstdlib>
#include <korvane/smpp.hpp>
#include <string>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

struct ErrorSink : korvane::SMPPEvents {
  int count = 0;
  int32_t number = 0;
  std::string source, description;
  void Error(int32_t n, const std::string& s, const std::string& d) override {
    ++count, number = n, source = s, description = d;
  }
};

std::string Line(const std::string& report, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) start = report.find("\r\n", start) + 2;
  return report.substr(start, report.find("\r\n", start) - start);
}

}  // namespace

int main() {
  using namespace korvane;
  const std::string version = KORVANE_SMPP_VERSION_STRING;
#ifdef KORVANE_EXPECTED_VERSION
  Check(version == KORVANE_EXPECTED_VERSION, "version header is the package's version");
#endif
  Check(version == std::to_string(KORVANE_SMPP_VERSION_MAJOR) + "." +
                       std::to_string(KORVANE_SMPP_VERSION_MINOR) + "." +
                       std::to_string(KORVANE_SMPP_VERSION_PATCH),
        "version numbers make the string");
  std::string about_version;
  SetAboutHandler([&](const std::string&, const std::string& v) { about_version = v; });
  SMPP session;
  session.AboutKVSMPP();
  SetAboutHandler(nullptr);
  Check(about_version == version, "the library is the headers' version");
  Check(session.OperationsTimeout() == 5 && session.ConnectionTimeout() == 5, "timeouts 5");
  Check(session.AutoUnbindOnDestroy(), "AutoUnbindOnDestroy True");
  Check(session.ProtocolID() == ProtocolIDs::SMPPv33, "ProtocolID 51");
  Check(session.AddressTON() == AddressTypeOfNumbers::tonInternational, "AddressTON 1");
  Check(session.AddressNPI() == AddressNumberPlanIndicators::npiISDN, "AddressNPI 1");
  Check(session.DataCodingScheme() == SMSDataCodingSchemes::dcsSMSCDefault, "DataCodingScheme 0");
  Check(session.AutoEnquireLinkInterval() == 0, "AutoEnquireLinkInterval 0");
  Check(!session.EnableDebugMessages() && !session.EnableTraceMessages(), "diagnostics off");
  Check(!session.ConnectedAndBound, "not bound");
  Check(session.SystemID().empty() && session.Password().ToText().empty() &&
            session.SystemType().empty() && session.SMPPServerAddress().empty() &&
            session.ReceiverAddressRange().empty() && session.LocalIPAddress().empty(),
        "empty texts");
  Check(session.SMPPServerPort() == 0 && session.SocketHandle() == 0 && session.LocalTCPPort() == 0,
        "zero numbers");

  session.UserName("esme1");
  Check(session.SystemID() == "esme1", "UserName and SystemID are one field");
  session.Password(Variant("secret"));
  Check(session.Password() == Variant("secret"), "Password round trip");
  session.SMPPServerAddress("127.0.0.1");
  session.SMPPServerPort(2775);
  session.ProtocolID(ProtocolIDs::SMPPv34);
  Check(session.SMPPServerAddress() == "127.0.0.1" && session.SMPPServerPort() == 2775 &&
            session.ProtocolID() == ProtocolIDs::SMPPv34,
        "settings round trip");

  ErrorSink sink;
  session.Subscribe(sink);
  session.ReceiverAddressRange("12345678901234567890123456789012345678901");
  session.ReceiverAddressRange(std::string(42, '9'));
  Check(sink.count == 1 && sink.number == 22342 && sink.source == "KorvaneSMPP",
        "one Error 22342 from KorvaneSMPP");
  Check(Line(sink.description, 4) == "Procedure Name:ReceiverAddressRange[Property Let]",
        "report names the property");
  Check(session.ReceiverAddressRange().size() == 41, "old range stays");

  MessageObject message = session.NewMessage();
  for (int i = 0; i < 254; ++i) {
    message.AddRecipient(AddressTypeOfNumbers::tonInternational,
                         AddressNumberPlanIndicators::npiISDN, std::to_string(i));
  }
  try {
    message.AddRecipient(AddressTypeOfNumbers::tonInternational,
                         AddressNumberPlanIndicators::npiISDN, "255");
    Check(false, "the 255th recipient throws");
  } catch (const ComponentError& error) {
    Check(error.Number() == 29928, "error 29928");
    Check(Line(error.Description(), 1) ==
              "Description   :Maximum number of recipients allowed is 254.",
          "limit description");
  }
  Check(message.Recipients.size() == 254, "254 recipients kept");

  // The whole road through the real socket: nothing listens on a port just
  // released, so the connect is refused and Bind gives up at once.
  asio::io_context probe_loop;
  asio::ip::tcp::acceptor probe(probe_loop, {asio::ip::make_address("127.0.0.1"), 0});
  session.SMPPServerPort(probe.local_endpoint().port());
  probe.close();
  sink.count = 0;
  Check(session.Bind(BindTypes::SmppBindAsTransceiver) == 0, "Bind without an SMSC returns 0");
  Check(sink.count == 1 && sink.number == 10061 && sink.source == "Winsock", "Error 10061");
  Check(!session.EnquireLink(), "EnquireLink while not bound is false");
  sink.count = 0;
  Check(session.SendMessage(message, true).empty() && sink.number == 98821,
        "SendMessage while not bound: Error 98821");
  Check(session.SendMessageAsp(message).empty() && sink.count == 2, "SendMessageAsp too");
  sink.count = 0;
  Check(session.QueryMessage(message, true).IsEmpty() && sink.number == 98821,
        "QueryMessage while not bound: Error 98821");
  session.CancelMessage(message);  // no connection: nothing at all
  Check(sink.count == 1, "CancelMessage without a connection is silent");
  message.ClearRecipients();
  message.DestAddress = "1234";
  Check(
      session.DeliverShortMessage(message).IsEmpty() && sink.count == 2 && sink.source == "Winsock",
      "DeliverShortMessage without a connection: the transport's Error");
  session.TimeZoneBias("08+");
  Check(session.TimeZoneBias() == "08+", "TimeZoneBias round trip");

  DoEvents();
  if (failures == 0) std::puts("installed package host: all checks passed");
  return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
