// The simulator's engine serving on its own thread over loopback TCP, driven
// by raw octets and by the real client library. (The program itself runs in
// the demo and reliability checks.)
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
#include "korvane/text.hpp"
#include "smsc/engine.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// A blocking raw connection: writes one PDU (hex) and reads one whole PDU.
struct RawClient {
  explicit RawClient(uint16_t port) { socket.connect({asio::ip::make_address("127.0.0.1"), port}); }
  std::string Exchange(const std::string& request) {
    asio::write(socket, asio::buffer(testing::Hex(request)));
    Octets pdu(16);
    asio::read(socket, asio::buffer(pdu));
    pdu.resize((uint32_t{pdu[0]} << 24) | (pdu[1] << 16) | (pdu[2] << 8) | pdu[3]);
    asio::read(socket, asio::buffer(pdu.data() + 16, pdu.size() - 16));
    return testing::HexText(pdu);
  }
  asio::io_context io;
  asio::ip::tcp::socket socket{io};
};

// One ESME session of the library with its recorded events.
struct Client {
  Client(asio::io_context& loop, uint16_t port, const std::string& system_id) : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(port);
    smpp.SystemID(system_id);
    smpp.ProtocolID(ProtocolIDs::SMPPv34);
  }
  testing::EventRecorder events;  // outlives the session, which unbinds on destruction
  SMPP smpp;
};

MessageObject TextTo(const std::string& text) {
  MessageObject message;
  message.SourceAddress = "447700900123";
  message.DestAddress = "12345";
  message.ShortMessage = text;
  return message;
}

// The engine serving on its own thread (stopped and joined at the end), and
// the clients' loop.
class SmscEngineTest : public ::testing::Test {
 protected:
  ~SmscEngineTest() override {
    clients.clear();  // they unbind from the running simulator
    engine->Stop();
    thread.join();
  }
  void Start(SmscOptions options) {
    options.port = 0;
    engine = std::make_unique<SmscEngine>(smsc_loop, std::move(options));
    thread = std::thread([this] { smsc_loop.run(); });
  }
  // A client bound as `type` (what the simulator sends right after the
  // bind_resp may already have arrived).
  Client& Bound(BindTypes type, const std::string& system_id = "esme") {
    clients.push_back(std::make_unique<Client>(loop, engine->Port(), system_id));
    EXPECT_EQ(clients.back()->smpp.Bind(type), static_cast<int16_t>(type));
    return *clients.back();
  }
  // Pumps the clients' loop until `client` has raised `count` events `name`.
  bool PumpUntil(const Client& client, const std::string& name, std::size_t count = 1) {
    return testing::PumpUntil(
        loop, [&] { return client.events.Named(name).size() >= count; }, 3s);
  }

  asio::io_context smsc_loop;
  std::unique_ptr<SmscEngine> engine;
  std::thread thread;
  asio::io_context loop;
  std::vector<std::unique_ptr<Client>> clients;
};

// Binds are checked against the configured credentials; a bound ESME's
// submit_sm is answered with a message id, or throttled beyond 1 a second,
// and its unbind is answered.
TEST_F(SmscEngineTest, BindsAreCheckedThenSubmissionsAnsweredOrThrottled) {
  Start({.system_id = "esme", .password = "secret", .faults = {.throttle_tps = 1}});
  const auto bind = [](uint32_t command_id, const std::string& credentials) {
    return testing::HexText(
        testing::MakePdu(command_id, 0, 1, testing::Octets(credentials + "\0\0\x34\0\0\0"s)));
  };
  EXPECT_EQ(RawClient(engine->Port()).Exchange(bind(2, "esme\0wrong"s)),
            "00 00 00 10 80 00 00 02 00 00 00 0E 00 00 00 01");
  EXPECT_EQ(RawClient(engine->Port()).Exchange(bind(1, "other\0secret"s)),
            "00 00 00 10 80 00 00 01 00 00 00 0F 00 00 00 01");
  // submit_sm to "1", text "Hi", twice, then an unbind.
  const std::string submit = "00 00 00 24 00 00 00 04 00 00 00 00 00 00 00 0";
  const std::string to_1 = " 00 00 00 00 00 00 31 00 00 00 00 00 00 00 00 00 00 02 48 69";
  RawClient client(engine->Port());
  for (const auto& [request, answer] :
       {std::pair{bind(9, "esme\0secret"s),
                  "00 00 00 1D 80 00 00 09 00 00 00 00 00 00 00 01 "
                  "6B 6F 72 76 61 6E 65 2D 73 6D 73 63 00"},
        {submit + "2" + to_1,
         "00 00 00 1B 80 00 00 04 00 00 00 00 00 00 00 02 30 30 30 30 30 30 30 30 30 31 00"},
        {submit + "3" + to_1, "00 00 00 10 80 00 00 04 00 00 00 58 00 00 00 03"},
        {"00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04",
         "00 00 00 10 80 00 00 06 00 00 00 00 00 00 00 04"}})
    EXPECT_EQ(client.Exchange(request), answer);
}

TEST_F(SmscEngineTest, TheNthPduIsServedUnansweredThenTheRebindIsRefusedUntilAnUnbind) {
  Start({.faults = {.disconnect_every_pdus = 4, .rebind_guard = 60s}});
  Client& dropped = Bound(BindTypes::SmppBindAsTransmitter);  // PDU 1
  MessageObject same = TextTo("same");
  EXPECT_EQ(dropped.smpp.SendMessage(same, true), "0000000001");
  EXPECT_EQ(dropped.smpp.SendMessage(same, true), "0000000002");           // a duplicate
  dropped.smpp.SubmitAsync(TextTo("fourth"), [](const SubmitResult&) {});  // never answered
  ASSERT_TRUE(PumpUntil(dropped, "ConnectionClosed"));
  EXPECT_EQ(RawClient(engine->Port())
                .Exchange("00 00 00 1B 00 00 00 02 00 00 00 00 00 00 00 01 "
                          "65 73 6D 65 00 00 00 34 00 00 00"),  // bind_transmitter "esme"
            "00 00 00 10 80 00 00 02 00 00 00 05 00 00 00 01");
  // Another system_id, and one whose binding ended with an unbind, bind at once.
  Bound(BindTypes::SmppBindAsTransmitter, "other").smpp.Unbind();
  Bound(BindTypes::SmppBindAsTransmitter, "other");
  EXPECT_EQ(engine->Counters().SummaryLine(),
            "korvane-smsc summary: accepted=3 duplicates=1 throttled=0 queue_full=0 dropped=0 "
            "disconnects=1 rebinds_refused=1");
}

// Sent before anyone can receive, a message waits for the next receiver; a
// long text comes in concatenated parts, a non-Latin one in UCS-2. A message
// en route (its receipt due in a minute) is cancelled once: the second cancel
// is refused (ESME_RCANCELFAIL) and a query finds it deleted.
TEST_F(SmscEngineTest, MobileOriginatedMessagesReachReceiversAndCancelDeletesOnce) {
  Start({.receipt_delay = 60s, .mo_on_bind = {{"447700900001", "12345", "Hello on bind"}}});
  engine->SendMo({"447700900002", "12345", "Hello from a phone"});
  Client& transmitter = Bound(BindTypes::SmppBindAsTransmitter);
  Client& receiver = Bound(BindTypes::SmppBindAsReceiver);
  ASSERT_TRUE(PumpUntil(receiver, "MessageReceived", 2));
  engine->SendMo({"447700900003", "12345", std::string(300, 'x')});
  engine->SendMo({"447700900004", "12345", "\xd0\x9f\xd1\x80\xd0\xb8"});
  ASSERT_TRUE(PumpUntil(receiver, "MessageReceived", 5));
  text::Reassembler reassembler;
  std::string texts;
  for (const auto& event : receiver.events.Named("MessageReceived"))
    for (const auto& whole : reassembler.Add(event.message, {}))
      texts += event.message.SourceAddress + ":" +
               std::to_string(static_cast<int>(event.message.DataCoding)) + ":" +
               std::to_string(static_cast<int>(event.message.MessageType)) + ":" +
               whole.text.substr(0, 20) + "|";
  EXPECT_EQ(texts,
            "447700900001:0:0:Hello on bind|447700900002:0:0:Hello from a phone|"
            "447700900003:0:64:xxxxxxxxxxxxxxxxxxxx|447700900004:8:0:\xd0\x9f\xd1\x80\xd0\xb8|");
  EXPECT_TRUE(transmitter.events.Named("MessageReceived").empty());
  MessageObject message = TextTo("Never mind");
  ASSERT_FALSE(transmitter.smpp.SendMessage(message, true).empty());
  transmitter.smpp.CancelMessage(message);
  transmitter.smpp.CancelMessage(message);
  ASSERT_TRUE(PumpUntil(transmitter, "Error"));
  EXPECT_EQ(transmitter.events.Named("MessageCancelResult").at(0).message.CancelResultCode, 0);
  EXPECT_EQ(transmitter.events.Named("Error")[0].number, 27000 + 0x11);
  transmitter.smpp.QueryMessage(message, true);
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Deleted);
}

}  // namespace
}  // namespace korvane::smsc
