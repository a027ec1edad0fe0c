// The simulator's engine on its own thread and loop, and client sessions of
// the real library on the test thread's loop, for the loopback tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "korvane/smpp.hpp"
#include "smsc/engine.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane::smsc {

// The engine serving on its own thread; keeps its log and report lines
// (reports start with "! "). Stopped and joined on destruction.
class RunningSmsc {
 public:
  explicit RunningSmsc(SmscOptions options) {
    options.port = 0;
    options.log = [this](const std::string& line) { Keep(line); };
    options.report = [this](const std::string& line) { Keep("! " + line); };
    engine_ = std::make_unique<SmscEngine>(loop_, std::move(options));
    thread_ = std::thread([this] { loop_.run(); });
  }
  ~RunningSmsc() {
    engine_->Stop();
    thread_.join();
  }

  SmscEngine& Engine() { return *engine_; }
  uint16_t Port() const { return engine_->Port(); }

  // Blocks until a line containing `text` was kept, or `cap` passed.
  bool WaitForLine(const std::string& text,
                   std::chrono::milliseconds cap = std::chrono::seconds(3)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, cap, [&] {
      for (const std::string& line : lines_)
        if (line.find(text) != std::string::npos) return true;
      return false;
    });
  }

  // Whether the loop ran out of work (the engine stopped itself).
  bool Finished() const { return loop_.stopped(); }

 private:
  void Keep(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
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

// A plain TCP connection for octets no client would send; every read is
// capped in time.
class RawConnection {
 public:
  explicit RawConnection(uint16_t port) : socket_(io_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
  }

  void Write(const std::vector<uint8_t>& octets) { asio::write(socket_, asio::buffer(octets)); }

  // The next whole PDU; nothing when the connection ends or 3 s pass first.
  std::optional<std::vector<uint8_t>> ReadPdu() {
    uint8_t header[16];
    if (!ReadInto(header, 16)) return std::nullopt;
    const std::size_t length = std::size_t{header[0]} << 24 | std::size_t{header[1]} << 16 |
                               std::size_t{header[2]} << 8 | header[3];
    if (length < 16 || length > 4096) return std::nullopt;
    // Sized once: growing a 16-octet vector trips g++ 12's -Warray-bounds at -O3.
    std::vector<uint8_t> pdu(length);
    std::copy(header, header + 16, pdu.begin());
    if (length > 16 && !ReadInto(pdu.data() + 16, length - 16)) return std::nullopt;
    return pdu;
  }

 private:
  bool ReadInto(uint8_t* target, std::size_t size) {
    std::error_code result = asio::error::timed_out;
    asio::async_read(socket_, asio::buffer(target, size),
                     [&](const std::error_code& error, std::size_t) { result = error; });
    io_.restart();
    io_.run_for(std::chrono::seconds(3));
    if (result == asio::error::timed_out) socket_.cancel();
    return !result;
  }

  asio::io_context io_;
  asio::ip::tcp::socket socket_;
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
