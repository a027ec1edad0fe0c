// Binds as a transmitter, sends one message and waits for the SMSC's message
// id. Usage: example_send_and_wait [host] [port] [destination] [text]
#include <cstdlib>
#include <iostream>
#include <korvane/smpp.hpp>
#include <string>

namespace {

// Prints the failures the session reports; everything else stays quiet.
struct ErrorPrinter : korvane::SMPPEvents {
  void Error(int32_t number, const std::string& source, const std::string& text) override {
    std::cerr << "error " << number << " in " << source << ":\n" << text << "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string host = argc > 1 ? argv[1] : "127.0.0.1";
  const int port = argc > 2 ? std::atoi(argv[2]) : 2775;
  const std::string destination = argc > 3 ? argv[3] : "447700900123";
  const std::string text = argc > 4 ? argv[4] : "Hello from KorvaneSMPP";

  ErrorPrinter printer;  // declared first: it outlives the session
  korvane::SMPP smpp;
  smpp.Subscribe(printer);
  smpp.SMPPServerAddress(host);
  smpp.SMPPServerPort(port);
  smpp.SystemID("esme");
  smpp.Password(korvane::Variant("secret"));
  smpp.ProtocolID(korvane::ProtocolIDs::SMPPv34);

  if (smpp.Bind(korvane::BindTypes::SmppBindAsTransmitter) == 0) {
    std::cerr << "could not bind to " << host << ":" << port << "\n";
    return 1;
  }
  korvane::MessageObject message = smpp.NewMessage();
  message.DestAddress = destination;
  message.ShortMessage = korvane::Variant(text);
  const std::string id = smpp.SendMessage(message, true);  // waits up to OperationsTimeout
  smpp.Unbind();
  if (id.empty()) {
    std::cerr << "no message id within " << smpp.OperationsTimeout() << " s\n";
    return 1;
  }
  std::cout << "message id " << id << "\n";
  return 0;
}
