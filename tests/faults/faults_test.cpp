// Faults of the connection and the host against the loopback SMSC over real
// TCP, one test per kind: the peer ending inside a PDU (FIN or RST), a connect
// nobody accepts, a peer that stops reading, a burst in one write answered
// from inside its events, and a host that unbinds or reconnects from inside
// its events.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "platform/event_loop.hpp"
#include "session/session.hpp"
#include "support/loopback_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane::testing {
namespace {

using Names = std::vector<std::string>;
using Pdus = std::vector<std::vector<uint8_t>>;

// A deliver_sm from 4479 to 12345 carrying `text` in short_message.
std::vector<uint8_t> DeliverSm(uint32_t sequence, const std::string& text) {
  std::vector<uint8_t> body =
      Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 00 00 00 00 00 00 00 00 00");
  body.push_back(static_cast<uint8_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  return MakePdu(0x00000005, 0, sequence, body);
}
std::vector<uint8_t> DeliverSmResp(uint32_t sequence) {
  return MakePdu(0x80000005, 0, sequence, {0});
}
// deliver_sm numbered first..last in one write.
std::vector<uint8_t> Burst(uint32_t first, uint32_t last, const std::string& text) {
  std::vector<uint8_t> burst;
  for (uint32_t number = first; number <= last; ++number) {
    const auto pdu = DeliverSm(number, text + std::to_string(number));
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  return burst;
}
std::string Numbered(std::size_t number, std::size_t width) {
  std::string text = "body " + std::to_string(number);
  text.resize(width, '.');
  return text;
}

using FaultsTest = LoopbackFixture;

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
  reply.ShortMessage = "auto reply";
  std::vector<std::string> ids;
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived") ids.push_back(smpp.SendMessage(reply, true));
  };
  smsc.Send(Burst(1, kDeliveries, "mo "));
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return ids.size() >= kDeliveries && smsc.ReceivedCount() > 2 * kDeliveries; },
      std::chrono::seconds(60)));
  events.on_event = nullptr;
  const auto received = events.Named("MessageReceived");
  ASSERT_EQ(received.size(), kDeliveries);
  for (uint32_t number = 1; number <= kDeliveries; ++number)
    ASSERT_EQ(std::to_string(received[number - 1].message.SequenceNumber) + ":" +
                  received[number - 1].message.ShortMessage.ToText(),
              std::to_string(number) + ":mo " + std::to_string(number));
  EXPECT_EQ(std::count(ids.begin(), ids.end(), ""), 0);
  EXPECT_EQ(events.Named("MessageDelivered").size(), kDeliveries);
  EXPECT_EQ(events.Named("Error").size(), 0u);
  const Pdus pdus = smsc.Received();
  EXPECT_EQ(pdus.size(), 1 + 2 * kDeliveries);
  uint32_t next_response = 1, submits = 0;
  for (const auto& pdu : pdus) {
    submits += CommandIdOf(pdu) == 0x00000004;
    if (CommandIdOf(pdu) == 0x80000005) {
      ASSERT_EQ(pdu, DeliverSmResp(next_response++));
    }
  }
  EXPECT_EQ(next_response, kDeliveries + 1);
  EXPECT_EQ(submits, kDeliveries);
}

// A peer that stops reading, with MaxOutputBytes lowered: the host's thread
// never blocks, the unsent output stays under the cap, requests beyond it get
// Error 29985 and never go, and submissions wait in their queue. Once the peer
// reads again, every submit_sm accepted arrives whole, in order, as sent.
TEST_F(FaultsTest, APeerThatStopsReadingMeetsTheCapAndLosesNothingAccepted) {
  constexpr int32_t kCap = 256 * 1024;
  constexpr std::size_t kCount = 20000, kBodyLength = 250;
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.PauseReading();
  smpp.MaxOutputBytes(kCap);
  smpp.OperationsTimeout(30);  // the submissions' answers queue behind megabytes
  const platform::TcpSocket& socket = session::Session::Of(smpp).socket();
  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  std::vector<std::pair<int32_t, std::size_t>> sent;  // sequence number, body number
  std::size_t peak = 0;
  for (std::size_t number = 0; number < kCount; ++number) {
    message.SequenceNumber = 0;
    message.ShortMessage = Numbered(number, kBodyLength);
    EXPECT_EQ(smpp.SendMessage(message, false), "");
    if (message.SequenceNumber != 0) sent.emplace_back(message.SequenceNumber, number);
    peak = std::max(peak, socket.QueuedOutput());
    // The loop runs now and then, so the writes meet the full kernel buffers.
    if (number % 500 == 0) platform::PumpOnce(loop, std::chrono::milliseconds(0));
  }
  EXPECT_LE(peak, static_cast<std::size_t>(kCap));
  const auto errors = events.Named("Error");
  ASSERT_EQ(errors.size(), kCount - sent.size());
  EXPECT_EQ(errors.at(0).number, 29985);
  EXPECT_EQ(errors[0].text.rfind("The output queue is full: ", 0), 0u) << errors[0].text;
  std::vector<SubmitResult> results;
  for (int n = 0; n < 5; ++n)
    smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  platform::PumpOnce(loop, std::chrono::milliseconds(0));
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(events.Named("Error").size(), errors.size());

  smsc.ResumeReading();
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return results.size() == 5; }, std::chrono::seconds(30)));
  for (const SubmitResult& r : results) EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
  const Pdus received = smsc.Received();  // the bind, what was sent, the five
  ASSERT_EQ(received.size(), 1 + sent.size() + 5);
  // All submit_sm share everything up to the body, which ends the PDU.
  const std::vector<uint8_t> fields(received[1].begin() + 16, received[1].end() - kBodyLength);
  for (std::size_t n = 0; n < sent.size(); ++n) {
    std::vector<uint8_t> body = fields;
    const std::string text = Numbered(sent[n].second, kBodyLength);
    body.insert(body.end(), text.begin(), text.end());
    ASSERT_EQ(received[n + 1], MakePdu(4, 0, static_cast<uint32_t>(sent[n].first), body)) << n;
  }
}

// Half a PDU, then FIN or RST: the octets go with the connection, nothing is
// raised or acknowledged for them, and the next connection starts clean.
TEST_F(FaultsTest, PeerEndingInsideAPduRaisesNothingForIt) {
  const std::vector<uint8_t> whole = DeliverSm(7, "cut short");
  for (const bool reset : {false, true}) {
    for (const std::ptrdiff_t cut : {2, 4, 15, 16, 30}) {
      SCOPED_TRACE((reset ? "reset after " : "close after ") + std::to_string(cut));
      BindAs(BindTypes::SmppBindAsTransceiver);
      const std::size_t received_before = smsc.ReceivedCount();
      smsc.Send({whole.begin(), whole.begin() + cut});
      reset ? smsc.Reset() : smsc.Close();
      ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
      EXPECT_EQ(events.Summary(), reset ? "Error#10054[Winsock]{Connection reset by peer}, "
                                          "ConnectionClosed"
                                        : "ConnectionClosed");
      EXPECT_FALSE(smpp.ConnectedAndBound);
      EXPECT_EQ(smsc.ReceivedCount(), received_before);  // no deliver_sm_resp
    }
  }
  // The last connection's leftover octets are not in front of this one's.
  BindAs(BindTypes::SmppBindAsReceiver);
  smsc.Send(DeliverSm(8, "whole"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  EXPECT_EQ(events.Names(), Names{"MessageReceived"});
  EXPECT_EQ(events.events[0].message.SequenceNumber, 8);
}

// A listener on 127.0.0.1 that never accepts and whose accept queue is full:
// with a backlog of 0 it is filled with connections of its own until one
// stays pending. From then on the kernel drops every SYN to that port
// (net.ipv4.tcp_abort_on_overflow being 0 by default), so a connect neither
// succeeds nor fails until the client gives up.
class FullBacklogListener {
 public:
  FullBacklogListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, Address(address), sizeof address) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
    // A handshake the kernel answers completes at once on loopback; one
    // still going after 100 ms is pending.
    for (int count = 0; count < 8 && !full_; ++count) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      if (fd < 0) return;
      fillers_.push_back(fd);
      address = Loopback(port_);
      if (::connect(fd, Address(address), sizeof address) == 0) continue;
      if (errno != EINPROGRESS) return;
      pollfd wait{fd, POLLOUT, 0};
      full_ = ::poll(&wait, 1, 100) == 0;
    }
  }
  ~FullBacklogListener() {
    for (const int fd : fillers_) ::close(fd);
    if (listener_ >= 0) ::close(listener_);
  }
  uint16_t Port() const { return port_; }
  bool Full() const { return full_; }  // a filler stayed pending

 private:
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  static const sockaddr* Address(const sockaddr_in& address) {
    return reinterpret_cast<const sockaddr*>(&address);
  }
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
  bool full_ = false;
};

// The connect that never completes is abandoned when ConnectionTimeout ends
// (here at once: the length of the wait is pinned in virtual time), with Bind
// returning 0 and no event, since the socket reported nothing.
TEST_F(FaultsTest, AConnectNobodyAcceptsIsAbandoned) {
  FullBacklogListener listener;
  ASSERT_TRUE(listener.Full()) << "the accept queue could not be filled";
  smpp.SMPPServerPort(listener.Port());
  smpp.ConnectionTimeout(0);
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_EQ(events.Summary(), "");
  EXPECT_EQ(smpp.SocketHandle(), 0);  // the attempt was abandoned
  smpp.SMPPServerPort(smsc.Port());
  smpp.ConnectionTimeout(1);
  BindAs(BindTypes::SmppBindAsTransmitter);
}

// Unbind from inside MessageReceived, with more deliveries queued behind the
// one being handled: the unbind's wait handles them, each raised and
// acknowledged (after the unbind, on the still open connection) before the
// unbind_resp ends it. Then Bind again from outside.
TEST_F(FaultsTest, UnbindFromInsideAReceptionEndsTheBindingCleanly) {
  BindAs(BindTypes::SmppBindAsReceiver);
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived" && event.message.SequenceNumber == 3) smpp.Unbind();
  };
  smsc.Send(Burst(1, 6, "queued"));
  ASSERT_TRUE(PumpUntilEvent("UnBound"));
  events.on_event = nullptr;
  std::string sequences;
  for (const auto& event : events.Named("MessageReceived"))
    sequences += std::to_string(event.message.SequenceNumber);
  EXPECT_EQ(sequences, "123456");
  EXPECT_EQ(events.Names().back(), "UnBound");
  EXPECT_FALSE(smpp.ConnectedAndBound);
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= 8; }));
  const Pdus pdus = smsc.Received();
  EXPECT_EQ(pdus, (Pdus{pdus[0], DeliverSmResp(1), DeliverSmResp(2), DeliverSmResp(3),
                        MakePdu(6, 0, SequenceNumberOf(pdus[4])), DeliverSmResp(4),
                        DeliverSmResp(5), DeliverSmResp(6)}));
  BindAs(BindTypes::SmppBindAsReceiver);
  smsc.Send(DeliverSm(7, "after"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
}

// A host that pumps inside MessageReceived and reconnects from inside
// ConnectionClosed. The SMSC sends two deliveries and closes: the close is
// handled inside the first delivery's event, and the reconnect with it. The
// second delivery belongs to the closed connection; it must not be
// acknowledged on the new one (an SMSC matches responses per connection and
// delivers it again there).
TEST_F(FaultsTest, DeliveriesOfAClosedConnectionDoNotSpillIntoTheNextOne) {
  BindAs(BindTypes::SmppBindAsReceiver);
  bool reconnected = false;
  events.on_event = [&](const RecordedEvent& event) {
    if (event.name == "MessageReceived" && !reconnected)
      PumpUntil(
          loop, [&] { return reconnected; }, std::chrono::seconds(2));
    if (event.name == "ConnectionClosed" && !reconnected) {
      reconnected = true;
      smpp.Bind(BindTypes::SmppBindAsReceiver);
    }
  };
  smsc.Send(Burst(1, 2, "twice"));
  smsc.Close();
  ASSERT_TRUE(PumpUntil(loop, [&] { return reconnected && smpp.ConnectedAndBound; }));
  events.on_event = nullptr;
  EXPECT_EQ(events.Names(), (Names{"MessageReceived", "ConnectionClosed", "Bound"}));
  EXPECT_EQ(events.events[0].message.SequenceNumber, 1);
  // Delivered again on the new connection, it is acknowledged there, first
  // after the bind. (The closing SMSC recorded nothing after its close.)
  smsc.Send(DeliverSm(2, "again"));
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= 3; }));
  const Pdus pdus = smsc.Received();
  EXPECT_EQ(pdus, (Pdus{pdus[0], pdus[1], DeliverSmResp(2)}));
  EXPECT_EQ(CommandIdOf(pdus[1]), 0x00000001u);
}

}  // namespace
}  // namespace korvane::testing
