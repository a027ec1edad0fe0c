// A host that knows the library only as the installed package: the umbrella
// header, the version (the package's, when the build gives it as
// KORVANE_EXPECTED_VERSION, and the library's own), an event raised into
// the host, and a Bind through the real socket.
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <cstdio>
#include <korvane/smpp.hpp>
#include <string>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
  if (!condition) std::fprintf(stderr, "FAILED: %s\n", what), ++failures;
}

struct ErrorSink : korvane::SMPPEvents {
  std::string errors;
  void Error(int32_t number, const std::string& source, const std::string&) override {
    errors += std::to_string(number) + " " + source + ";";
  }
};

}  // namespace

int main() {
  using namespace korvane;
  const std::string version = KORVANE_SMPP_VERSION_STRING;
#ifdef KORVANE_EXPECTED_VERSION
  Check(version == KORVANE_EXPECTED_VERSION, "version header is the package's version");
#endif
  std::string library_version;
  SetAboutHandler([&](const std::string&, const std::string& v) { library_version = v; });
  SMPP session;
  session.AboutKVSMPP();
  Check(library_version == version, "the library is the headers' version");

  // Nothing listens on a port just released: the connect is refused.
  ErrorSink sink;
  session.Subscribe(sink);
  asio::io_context loop;
  asio::ip::tcp::acceptor probe(loop, {asio::ip::make_address("127.0.0.1"), 0});
  session.SMPPServerAddress("127.0.0.1");
  session.SMPPServerPort(probe.local_endpoint().port());
  probe.close();
  Check(session.Bind(BindTypes::SmppBindAsTransceiver) == 0, "Bind without an SMSC returns 0");
  Check(sink.errors == "10061 Winsock;", "one Error 10061 from Winsock");
  Check(session.NewMessage().Recipients.empty(), "a new message");
  if (failures == 0) std::puts("installed package: OK");
  return failures == 0 ? 0 : 1;
}
