// Faults of the connection and the host against the loopback SMSC over real
// TCP, one test per kind: the peer ending inside a PDU (FIN or RST) or after
// whole ones the host is still handling, a connect nobody accepts, a peer
// that stops reading, and a burst in one write answered from inside its
// events.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "platform/event_loop.hpp"
#include "session/session.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::testing {
namespace {

using namespace std::chrono_literals;

// deliver_sm from 4479 to 12345 numbered first..last, each with `text` and
// its number in short_message, in one write.
std::vector<uint8_t> Deliveries(uint32_t first, uint32_t last, const std::string& text) {
  std::vector<uint8_t> octets;
  for (uint32_t number = first; number <= last; ++number) {
    const std::string body = text + std::to_string(number);
    std::vector<uint8_t> fields =
        Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 00 00 00 00 00 00 00 00 00");
    fields.push_back(static_cast<uint8_t>(body.size()));
    fields.insert(fields.end(), body.begin(), body.end());
    const auto pdu = MakePdu(5, 0, number, fields);
    octets.insert(octets.end(), pdu.begin(), pdu.end());
  }
  return octets;
}

// What the SMSC received from the PDU `from` on: "ack:<sequence>" for each
// deliver_sm_resp (checked whole), the command_id of any other.
std::string SentFrom(const LoopbackSmsc& smsc, std::size_t from) {
  std::string sent;
  const auto pdus = smsc.Received();
  for (std::size_t n = from; n < pdus.size(); ++n) {
    const uint32_t sequence = SequenceNumberOf(pdus[n]);
    sent +=
        (pdus[n] == MakePdu(0x80000005, 0, sequence, {0}) ? "ack:" + std::to_string(sequence)
                                                          : std::to_string(CommandIdOf(pdus[n]))) +
        " ";
  }
  return sent;
}

// The MessageReceived events as "sequence:text ".
std::string Raised(const EventRecorder& events) {
  std::string raised;
  for (const auto& event : events.Named("MessageReceived"))
    raised += std::to_string(event.message.SequenceNumber) + ":" +
              event.message.ShortMessage.ToText() + " ";
  return raised;
}

// A session on its own loop against the loopback SMSC, which outlives it (its
// destruction unbinds there).
class FaultsTest : public ::testing::Test {
 protected:
  FaultsTest() : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(smsc.Port());
  }
  ~FaultsTest() override { events.on_event = nullptr; }

  // Binds against the willing SMSC and forgets the events that took.
  void BindAs(BindTypes type) {
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  LoopbackSmsc smsc;
  EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
};

// Thousands of deliveries in one write, each answered from inside its
// MessageReceived with a submission whose id is waited for. Each wait runs a
// drain inside the drain that raised it; unbounded, that nesting overflowed
// the stack at about 3,500 deliveries. Each is raised and acknowledged once,
// in order.
TEST_F(FaultsTest, ABurstAnsweredFromInsideItsEventsIsRaisedAndAcknowledgedOnceInOrder) {
  constexpr uint32_t kDeliveries = 4000;
  BindAs(BindTypes::SmppBindAsTransceiver);
  MessageObject reply = smpp.NewMessage();
  reply.DestAddress = "4479";
  std::size_t answered = 0;
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived") answered += !smpp.SendMessage(reply, true).empty();
  };
  smsc.Send(Deliveries(1, kDeliveries, "mo "));
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return smsc.ReceivedCount() > 2 * kDeliveries; }, 60s));
  events.on_event = nullptr;
  std::string raised, sent;
  for (uint32_t n = 1; n <= kDeliveries; ++n) {
    raised += std::to_string(n) + ":mo " + std::to_string(n) + " ";
    sent += "ack:" + std::to_string(n) + " 4 ";
  }
  EXPECT_EQ(Raised(events), raised);
  EXPECT_EQ(SentFrom(smsc, 1), sent);  // after the bind: each acknowledged, then its submit_sm
  EXPECT_EQ(answered, kDeliveries);
  EXPECT_EQ(events.Named("Error").size(), 0u);
}

// A peer that stops reading, with MaxOutputBytes lowered: the host's thread
// never blocks, the unsent output stays under the cap, requests beyond it get
// Error 29985 and never go, and submissions wait in their queue. Once the peer
// reads again, every submit_sm accepted arrives whole, in order, as sent.
TEST_F(FaultsTest, APeerThatStopsReadingMeetsTheCapAndLosesNothingAccepted) {
  constexpr int32_t kCap = 256 * 1024;
  constexpr std::size_t kCount = 20000;
  const auto text = [](std::size_t number) {
    return std::to_string(number) + std::string(250 - std::to_string(number).size(), '.');
  };
  // The SMSC stops reading at the first submit_sm until `resume` is set or
  // destroyed.
  std::promise<void> resume;
  smsc.SetResponder([resumed = resume.get_future().share()](const LoopbackSmsc::Octets& pdu) {
    if (CommandIdOf(pdu) == 4) resumed.wait_for(60s);
    return LoopbackSmsc::DefaultAnswer(pdu, 0);
  });
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smpp.MaxOutputBytes(kCap);
  smpp.OperationsTimeout(30);  // the submissions' answers queue behind megabytes
  const platform::TcpSocket& socket = session::Session::Of(smpp).socket();
  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  std::vector<std::pair<int32_t, std::size_t>> sent;  // sequence number, text number
  std::size_t peak = 0;
  for (std::size_t number = 0; number < kCount; ++number) {
    message.SequenceNumber = 0;
    message.ShortMessage = text(number);
    EXPECT_EQ(smpp.SendMessage(message, false), "");
    if (message.SequenceNumber != 0) sent.emplace_back(message.SequenceNumber, number);
    peak = std::max(peak, socket.QueuedOutput());
    // The loop runs now and then, so the writes meet the full kernel buffers.
    if (number % 500 == 0) platform::PumpOnce(loop, 0ms);
  }
  EXPECT_LE(peak, static_cast<std::size_t>(kCap));
  const auto errors = events.Named("Error");
  ASSERT_EQ(errors.size(), kCount - sent.size());
  EXPECT_EQ(errors.at(0).number, 29985);
  EXPECT_EQ(errors[0].text.rfind("The output queue is full: ", 0), 0u) << errors[0].text;
  std::vector<SubmitResult> results;
  for (int n = 0; n < 5; ++n)
    smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  platform::PumpOnce(loop, 0ms);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(events.Named("Error").size(), errors.size());

  resume.set_value();
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return results.size() == 5; }, 30s));
  for (const SubmitResult& r : results) EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
  const auto received = smsc.Received();  // the bind, what was sent, the five
  ASSERT_EQ(received.size(), 1 + sent.size() + 5);
  // All submit_sm share everything up to the text, which ends the PDU.
  const std::string fields(received[1].begin() + 16, received[1].end() - 250);
  for (std::size_t n = 0; n < sent.size(); ++n)
    ASSERT_EQ(received[n + 1], MakePdu(4, 0, static_cast<uint32_t>(sent[n].first),
                                       Octets(fields + text(sent[n].second))))
        << n;
}

// Half a PDU, then FIN or RST: the octets go with the connection, nothing is
// raised or acknowledged for them, and the next connection starts clean.
TEST_F(FaultsTest, PeerEndingInsideAPduRaisesNothingForIt) {
  const std::vector<uint8_t> whole = Deliveries(7, 7, "cut short");
  for (const bool reset : {false, true}) {
    for (const std::ptrdiff_t cut : {2, 4, 15, 16, 30}) {
      SCOPED_TRACE((reset ? "reset after " : "close after ") + std::to_string(cut));
      BindAs(BindTypes::SmppBindAsTransceiver);
      smsc.Send({whole.begin(), whole.begin() + cut});
      reset ? smsc.Reset() : smsc.Close();
      ASSERT_TRUE(PumpUntil(loop, [&] { return !events.Named("ConnectionClosed").empty(); }));
      EXPECT_EQ(events.Summary(), reset ? "Error#10054[Winsock]{Connection reset by peer}, "
                                          "ConnectionClosed"
                                        : "ConnectionClosed");
      EXPECT_FALSE(smpp.ConnectedAndBound);
    }
  }
  // Whole deliveries stay with their connection too: the SMSC sends two and
  // closes, and the host pumps inside the first one's event and binds again
  // from inside ConnectionClosed. The second is not raised, nor acknowledged
  // on the new connection (an SMSC matches responses per connection and
  // delivers it again there), and neither it nor the leftover octets of the
  // last cut are in front of the new connection's first delivery.
  BindAs(BindTypes::SmppBindAsReceiver);
  const std::size_t from = smsc.ReceivedCount();
  bool rebound = false;
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived" && !rebound) PumpUntil(loop, [&] { return rebound; });
    if (event.name == "ConnectionClosed") rebound = true, smpp.Bind(BindTypes::SmppBindAsReceiver);
  };
  smsc.Send(Deliveries(1, 2, "twice "));
  smsc.Close();
  ASSERT_TRUE(PumpUntil(loop, [&] { return rebound && smpp.ConnectedAndBound; }));
  smsc.Send(Deliveries(8, 8, "whole "));
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= from + 2; }));
  EXPECT_EQ(events.Summary(), "MessageReceived, ConnectionClosed, Bound, MessageReceived");
  EXPECT_EQ(Raised(events), "1:twice 1 8:whole 8 ");
  EXPECT_EQ(SentFrom(smsc, from), "1 ack:8 ");
}

// The connect that never completes is abandoned when ConnectionTimeout ends
// (here at once: the length of the wait is pinned in virtual time), with Bind
// returning 0 and no event, since the socket reported nothing. The listener
// on 127.0.0.1 never accepts, and with a backlog of 0 its accept queue is
// filled with connections of its own until one stays pending (a handshake
// still going after 100 ms). From then on the kernel drops every SYN to that
// port (net.ipv4.tcp_abort_on_overflow being 0 by default).
TEST_F(FaultsTest, AConnectNobodyAcceptsIsAbandoned) {
  sockaddr_in address{
      .sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  auto* const raw = reinterpret_cast<sockaddr*>(&address);
  socklen_t size = sizeof address;
  std::vector<int> sockets{::socket(AF_INET, SOCK_STREAM, 0)};
  const bool listening = ::bind(sockets[0], raw, size) == 0 && ::listen(sockets[0], 0) == 0 &&
                         ::getsockname(sockets[0], raw, &size) == 0;
  bool full = false;
  while (listening && !full && sockets.size() < 9) {
    sockets.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    pollfd wait{sockets.back(), POLLOUT, 0};
    full = ::connect(sockets.back(), raw, size) != 0 && errno == EINPROGRESS &&
           ::poll(&wait, 1, 100) == 0;
  }
  ASSERT_TRUE(full) << "the accept queue could not be filled";
  smpp.SMPPServerPort(ntohs(address.sin_port));
  smpp.ConnectionTimeout(0);
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_EQ(events.Summary(), "");
  EXPECT_EQ(smpp.SocketHandle(), 0);  // the attempt was abandoned
  for (const int fd : sockets) ::close(fd);
}

// The host unbinding from inside MessageReceived with more deliveries queued
// behind the one it handles: the unbind's wait raises and acknowledges each,
// on the still open connection, before the unbind_resp ends it.
TEST_F(FaultsTest, AHostUnbindingFromInsideItsEventLosesNoDelivery) {
  BindAs(BindTypes::SmppBindAsReceiver);
  const std::size_t from = smsc.ReceivedCount();
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived" && event.message.SequenceNumber == 3) smpp.Unbind();
  };
  smsc.Send(Deliveries(1, 6, "q"));
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= from + 7; }));
  EXPECT_EQ(Raised(events), "1:q1 2:q2 3:q3 4:q4 5:q5 6:q6 ");
  EXPECT_EQ(events.Names().back(), "UnBound");
  EXPECT_EQ(SentFrom(smsc, from), "ack:1 ack:2 ack:3 6 ack:4 ack:5 ack:6 ");
}

}  // namespace
}  // namespace korvane::testing
