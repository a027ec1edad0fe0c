// A host with its own asio::io_context: the session runs on it beside the
// host's timer, so one io_context.run() drives both and nothing blocks.
// Usage: example_shared_io_context [host] [port]
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <korvane/smpp.hpp>
#include <string>

namespace {

// Sends a message once bound and stops the loop when its response arrives.
class Host : public korvane::SMPPEvents {
 public:
  explicit Host(korvane::SMPP& smpp) : smpp_(smpp) {}

  void MessageDelivered(korvane::MessageObject& response) override {
    std::cout << "submitted, message id " << response.MessageID << "\n";
    done_ = true;
  }
  void Error(int32_t number, const std::string& source, const std::string& text) override {
    std::cerr << "error " << number << " in " << source << ":\n" << text << "\n";
  }

  // Fire and forget: the response arrives as MessageDelivered.
  void SendGreeting() {
    korvane::MessageObject message = smpp_.NewMessage();
    message.DestAddress = "447700900123";
    message.ShortMessage = korvane::Variant("Hello from a shared io_context");
    smpp_.SendMessage(message);
  }
  bool done() const { return done_; }

 private:
  korvane::SMPP& smpp_;
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  asio::io_context loop;
  korvane::SMPP smpp(loop);  // the session's sockets and timers live on `loop`
  Host host(smpp);
  smpp.Subscribe(host);
  smpp.SMPPServerAddress(argc > 1 ? argv[1] : "127.0.0.1");
  smpp.SMPPServerPort(argc > 2 ? std::atoi(argv[2]) : 2775);
  smpp.SystemID("esme");
  smpp.Password(korvane::Variant("secret"));
  smpp.ProtocolID(korvane::ProtocolIDs::SMPPv34);

  // Bind waits by running `loop` itself until the bind_resp arrives.
  if (smpp.Bind(korvane::BindTypes::SmppBindAsTransmitter) == 0) return 1;
  host.SendGreeting();

  // The host's own work shares the loop: a ticker that also ends the run.
  asio::steady_timer ticker(loop);
  int ticks = 0;
  std::function<void(const std::error_code&)> tick = [&](const std::error_code& error) {
    if (error) return;
    ++ticks;
    if (host.done() || ticks == 50) {
      smpp.Unbind();
      loop.stop();
      return;
    }
    ticker.expires_after(std::chrono::milliseconds(100));
    ticker.async_wait(tick);
  };
  ticker.expires_after(std::chrono::milliseconds(100));
  ticker.async_wait(tick);
  loop.run();
  std::cout << (host.done() ? "done" : "no response within 5 s") << " after " << ticks
            << " ticks\n";
  return host.done() ? 0 : 1;
}
