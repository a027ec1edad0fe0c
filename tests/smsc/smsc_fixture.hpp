// The simulator's engine serving on its own thread, and clients of the
// library bound to it over loopback TCP.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "korvane/smpp.hpp"
#include "smsc/engine.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane::smsc {

// The engine serving on its own thread; stopped and joined on destruction.
class RunningSmsc {
 public:
  explicit RunningSmsc(SmscOptions options) {
    options.port = 0;
    engine_ = std::make_unique<SmscEngine>(loop_, std::move(options));
    thread_ = std::thread([this] { loop_.run(); });
  }
  ~RunningSmsc() {
    engine_->Stop();
    thread_.join();
  }
  SmscEngine& Engine() { return *engine_; }
  uint16_t Port() const { return engine_->Port(); }

 private:
  asio::io_context loop_;
  std::unique_ptr<SmscEngine> engine_;
  std::thread thread_;
};

// One ESME session of the library with its recorded events.
struct Client {
  Client(asio::io_context& loop, uint16_t port, const std::string& system_id,
         const std::string& password)
      : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(port);
    smpp.SystemID(system_id);
    smpp.Password(Variant(password));
    smpp.ProtocolID(ProtocolIDs::SMPPv34);
    smpp.OperationsTimeout(2);
    smpp.ConnectionTimeout(2);
  }

  testing::EventRecorder events;  // outlives the session, which unbinds on destruction
  SMPP smpp;
};

class SmscEngineTest : public ::testing::Test {
 protected:
  void Start(SmscOptions options = {}) { smsc = std::make_unique<RunningSmsc>(std::move(options)); }

  Client& NewClient(const std::string& system_id = "esme", const std::string& password = "secret") {
    clients.push_back(std::make_unique<Client>(loop, smsc->Port(), system_id, password));
    return *clients.back();
  }

  // A client bound as `type` (what the simulator sends right after the
  // bind_resp may already have arrived).
  Client& BoundClient(BindTypes type, const std::string& system_id = "esme") {
    Client& client = NewClient(system_id);
    EXPECT_EQ(client.smpp.Bind(type), static_cast<int16_t>(type));
    return client;
  }

  // Pumps the clients' loop until `client` has raised `count` events `name`.
  bool PumpUntilEvents(const Client& client, const std::string& name, std::size_t count = 1) {
    return testing::PumpUntil(
        loop, [&] { return client.events.Named(name).size() >= count; }, std::chrono::seconds(3));
  }

  // Declared first: the simulator outlives the clients, which unbind from it.
  std::unique_ptr<RunningSmsc> smsc;
  asio::io_context loop;
  std::vector<std::unique_ptr<Client>> clients;
};

}  // namespace korvane::smsc
