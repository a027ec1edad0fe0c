// The simulator's engine serving on its own thread, clients of the library
// bound to it over loopback TCP, and a blocking raw socket for exact octets.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "korvane/smpp.hpp"
#include "smsc/engine.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::smsc {

// One ESME session of the library with its recorded events.
struct Client {
  Client(asio::io_context& loop, uint16_t port, const std::string& system_id) : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(port);
    smpp.SystemID(system_id);
    smpp.ProtocolID(ProtocolIDs::SMPPv34);
    smpp.OperationsTimeout(2);
    smpp.ConnectionTimeout(2);
  }
  testing::EventRecorder events;  // outlives the session, which unbinds on destruction
  SMPP smpp;
};

// Reads one whole PDU from a blocking socket, as hex.
inline std::string ReadPdu(asio::ip::tcp::socket& socket) {
  Octets pdu(16);
  asio::read(socket, asio::buffer(pdu));
  pdu.resize((uint32_t{pdu[0]} << 24) | (pdu[1] << 16) | (pdu[2] << 8) | pdu[3]);
  asio::read(socket, asio::buffer(pdu.data() + 16, pdu.size() - 16));
  return testing::HexText(pdu);
}
// Writes one PDU (hex) and reads the one answered.
inline std::string Exchange(asio::ip::tcp::socket& socket, const std::string& request) {
  asio::write(socket, asio::buffer(testing::Hex(request)));
  return ReadPdu(socket);
}
inline void Connect(asio::ip::tcp::socket& socket, uint16_t port) {
  socket.connect({asio::ip::make_address("127.0.0.1"), port});
}

// bind_transmitter of "esme", sequence 1.
inline const char* const kBindEsme =
    "00 00 00 1B 00 00 00 02 00 00 00 00 00 00 00 01 65 73 6D 65 00 00 00 34 00 00 00";

// The engine serving on its own thread (stopped and joined at the end), and
// the clients' loop.
class SmscEngineTest : public ::testing::Test {
 protected:
  ~SmscEngineTest() override {
    clients.clear();  // they unbind from the running simulator
    if (engine) {
      engine->Stop();
      thread.join();
    }
  }
  void Start(SmscOptions options = {}) {
    options.port = 0;
    engine = std::make_unique<SmscEngine>(smsc_loop, std::move(options));
    thread = std::thread([this] { smsc_loop.run(); });
  }
  // A client bound as `type` (what the simulator sends right after the
  // bind_resp may already have arrived).
  Client& BoundClient(BindTypes type, const std::string& system_id = "esme") {
    clients.push_back(std::make_unique<Client>(loop, engine->Port(), system_id));
    EXPECT_EQ(clients.back()->smpp.Bind(type), static_cast<int16_t>(type));
    return *clients.back();
  }
  // Pumps the clients' loop until `client` has raised `count` events `name`.
  bool PumpUntilEvents(const Client& client, const std::string& name, std::size_t count = 1) {
    return testing::PumpUntil(
        loop, [&] { return client.events.Named(name).size() >= count; }, std::chrono::seconds(3));
  }

  asio::io_context smsc_loop;
  std::unique_ptr<SmscEngine> engine;
  std::thread thread;
  asio::io_context loop;
  std::vector<std::unique_ptr<Client>> clients;
};

}  // namespace korvane::smsc
