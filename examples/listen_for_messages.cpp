// Binds as a receiver and prints mobile-originated messages and delivery
// receipts for a while. Usage: example_listen_for_messages [host] [port] [seconds]
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <korvane/smpp.hpp>
#include <string>

namespace {

struct MessagePrinter : korvane::SMPPEvents {
  // Raised after the deliver_sm was acknowledged to the SMSC.
  void MessageReceived(korvane::MessageObject& m) override {
    const bool receipt = (static_cast<int>(m.MessageType) & 0x3C) == 0x04;
    if (receipt) {
      std::cout << "receipt for " << m.GetOptionalParamStringValue(0x001E).c_str() << " (state "
                << static_cast<int>(m.MessageState) << "): " << m.ShortMessage.ToText() << "\n";
    } else {
      std::cout << "message from " << m.SourceAddress << " to " << m.DestAddress << ": "
                << m.ShortMessage.ToText() << "\n";
    }
  }
  void ConnectionClosed() override { std::cout << "connection closed\n"; }
  void Error(int32_t number, const std::string& source, const std::string& text) override {
    std::cerr << "error " << number << " in " << source << ":\n" << text << "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string host = argc > 1 ? argv[1] : "127.0.0.1";
  const int port = argc > 2 ? std::atoi(argv[2]) : 2775;
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;

  MessagePrinter printer;
  korvane::SMPP smpp;
  smpp.Subscribe(printer);
  smpp.SMPPServerAddress(host);
  smpp.SMPPServerPort(port);
  smpp.SystemID("esme");
  smpp.Password(korvane::Variant("secret"));
  smpp.ProtocolID(korvane::ProtocolIDs::SMPPv34);
  smpp.AutoEnquireLinkInterval(30);  // keeps an idle link alive

  if (smpp.Bind(korvane::BindTypes::SmppBindAsReceiver) == 0) {
    std::cerr << "could not bind to " << host << ":" << port << "\n";
    return 1;
  }
  std::cout << "listening for " << seconds << " s\n";
  korvane::RunEvents(std::chrono::seconds(seconds));  // events are raised in here
  smpp.Unbind();
  return 0;
}
