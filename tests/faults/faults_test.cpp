// Faults of the connection and the host against the loopback SMSC over real
// TCP: the peer ending inside a PDU, a connect nobody accepts, bulk traffic
// both ways (a burst in one write, a peer that stops reading), and a host
// that calls back into the session from inside its events.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "platform/event_loop.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_fixture.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"
#include "support/test_util.hpp"

namespace korvane::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using Names = std::vector<std::string>;

inline constexpr uint32_t kDeliverSmId = 0x00000005;
inline constexpr uint32_t kDeliverSmRespId = 0x80000005;
inline constexpr uint32_t kSubmitSmId = 0x00000004;

// A deliver_sm from 4479 to 12345 carrying `text` in short_message.
inline std::vector<uint8_t> DeliverSm(uint32_t sequence, const std::string& text) {
  std::vector<uint8_t> body =
      Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 00 00 00 00 00 00 00 00 00");
  body.push_back(static_cast<uint8_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  return MakePdu(kDeliverSmId, 0, sequence, body);
}

// The deliver_sm_resp the session owes for the deliver_sm numbered `sequence`.
inline std::vector<uint8_t> DeliverSmResp(uint32_t sequence) {
  return MakePdu(kDeliverSmRespId, 0, sequence, {0});
}

// Counts events without keeping them: bulk tests raise tens of thousands.
struct CountingSink : SMPPEvents {
  std::vector<int32_t> received_sequences;  // MessageReceived, in order
  std::vector<std::string> received_texts;
  std::vector<std::string> delivered_ids;  // MessageDelivered, in order
  std::vector<int32_t> errors;

  void MessageReceived(MessageObject& message) override {
    received_sequences.push_back(message.SequenceNumber);
    received_texts.push_back(message.ShortMessage.ToText());
  }
  void MessageDelivered(MessageObject& message) override {
    delivered_ids.push_back(message.MessageID);
  }
  void Error(int32_t number, const std::string&, const std::string&) override {
    errors.push_back(number);
  }
};

using FaultsTest = LoopbackFixture;

std::string Numbered(const std::string& prefix, std::size_t number, std::size_t width) {
  std::string text = prefix + std::to_string(number);
  text.resize(width, '.');
  return text;
}

TEST_F(FaultsTest, TenThousandDeliveriesInOneWriteAreEachRaisedAndAcknowledgedOnce) {
  constexpr std::size_t kCount = 10000;
  BindAs(BindTypes::SmppBindAsReceiver);
  smpp.Unsubscribe(events);
  CountingSink sink;
  smpp.Subscribe(sink);
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= kCount; ++number) {
    const auto pdu = DeliverSm(number, Numbered("message ", number, 20));
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntil(
      loop,
      [&] { return sink.received_sequences.size() >= kCount && smsc.ReceivedCount() > kCount; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(sink);

  ASSERT_EQ(sink.received_sequences.size(), kCount);
  for (std::size_t number = 1; number <= kCount; ++number) {
    ASSERT_EQ(sink.received_sequences[number - 1], static_cast<int32_t>(number));
    ASSERT_EQ(sink.received_texts[number - 1], Numbered("message ", number, 20));
  }
  EXPECT_EQ(sink.errors, std::vector<int32_t>{});
  const auto received = smsc.Received();
  ASSERT_EQ(received.size(), kCount + 1);  // the bind first
  for (std::size_t number = 1; number <= kCount; ++number)
    ASSERT_EQ(received[number], DeliverSmResp(static_cast<uint32_t>(number))) << number;
}

// The host's thread never blocks on a peer that does not read: every
// SendMessage returns while the peer reads nothing, and once it reads again
// every submit_sm arrives whole, in order, as it was sent. Some 6 MB are
// sent, beyond what the kernels' buffers hold (the sender's grows to 4 MB at
// most, the peer's receive buffer is held at 64 KiB), so the rest waits in
// the session.
TEST_F(FaultsTest, APeerThatStopsReadingLosesNothingAndBlocksNothing) {
  constexpr std::size_t kCount = 20000;
  constexpr std::size_t kBodyLength = 250;
  smsc.SetReceiveBufferSize(64 * 1024);
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.PauseReading();
  smpp.Unsubscribe(events);
  CountingSink sink;
  smpp.Subscribe(sink);

  MessageObject message = smpp.NewMessage();
  message.DestAddress = "447700900123";
  std::vector<int32_t> sequences;
  for (std::size_t number = 0; number < kCount; ++number) {
    message.ShortMessage = Numbered("body ", number, kBodyLength);
    EXPECT_EQ(smpp.SendMessage(message, false), "");
    sequences.push_back(message.SequenceNumber);
    // The host runs its loop now and then, so the session's writes meet the
    // full kernel buffers and wait for room.
    if (number % 500 == 0) platform::PumpOnce(loop, std::chrono::milliseconds(0));
  }
  // Every call has returned; the peer has read at most what one read that
  // was already started took.
  EXPECT_LT(smsc.ReceivedCount(), kCount / 10);
  smsc.ResumeReading();
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return smsc.ReceivedCount() > kCount && sink.delivered_ids.size() >= kCount; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(sink);
  EXPECT_EQ(sink.errors, std::vector<int32_t>{});

  const auto received = smsc.Received();
  ASSERT_EQ(received.size(), kCount + 1);
  // All submit_sm share everything up to the body, which ends the PDU.
  const std::vector<uint8_t>& first = received[1];
  ASSERT_GT(first.size(), 16 + kBodyLength);
  const std::vector<uint8_t> fields(first.begin() + 16, first.end() - kBodyLength);
  for (std::size_t number = 0; number < kCount; ++number) {
    const std::vector<uint8_t>& pdu = received[number + 1];
    ASSERT_EQ(CommandIdOf(pdu), kSubmitSmId) << number;
    ASSERT_EQ(SequenceNumberOf(pdu), static_cast<uint32_t>(sequences[number])) << number;
    if (number > 0) {
      ASSERT_GT(sequences[number], sequences[number - 1]);
    }
    const std::string body = Numbered("body ", number, kBodyLength);
    std::vector<uint8_t> expected_body = fields;
    expected_body.insert(expected_body.end(), body.begin(), body.end());
    ASSERT_EQ(pdu, MakePdu(kSubmitSmId, 0, static_cast<uint32_t>(sequences[number]), expected_body))
        << number;
  }
  for (std::size_t number = 0; number < kCount; ++number)
    ASSERT_EQ(sink.delivered_ids[number], "MSG" + std::to_string(sequences[number]));
}

// Half a PDU, then FIN or RST: the octets go with the connection, nothing is
// raised or acknowledged for them, and the next connection starts clean.
TEST_F(FaultsTest, PeerEndingInsideAPduRaisesNothingForIt) {
  const std::vector<uint8_t> whole = DeliverSm(7, "cut short");
  for (const bool reset : {false, true}) {
    for (const std::size_t cut : {2u, 4u, 15u, 16u, 30u}) {
      SCOPED_TRACE((reset ? "reset after " : "close after ") + std::to_string(cut));
      BindAs(BindTypes::SmppBindAsTransceiver);
      const std::size_t received_before = smsc.ReceivedCount();
      smsc.Send({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)});
      reset ? smsc.Reset() : smsc.Close();
      ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
      EXPECT_EQ(events.Names(),
                reset ? (Names{"Error", "ConnectionClosed"}) : Names{"ConnectionClosed"});
      if (reset) {
        EXPECT_EQ(events.events[0].number, 10054);
      }
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

// A listener on 127.0.0.1 that never accepts and whose accept queue is
// full: with a backlog of 0 it is filled with connections of its own until
// one stays pending. From then on the kernel drops every SYN to that port
// (net.ipv4.tcp_abort_on_overflow being 0 by default), so a client's connect
// neither succeeds nor fails until the client gives up.
class FullBacklogListener {
 public:
  FullBacklogListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
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
      if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) continue;
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
  // Whether a filler connection stayed pending, which proves the queue full.
  bool Full() const { return full_; }

 private:
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
  bool full_ = false;
};

// Nobody accepts and the kernel drops the SYNs: the connect wait ends after
// ConnectionTimeout with Bind returning 0; no event, since the socket
// reported nothing.
TEST_F(FaultsTest, ConnectThatNeverCompletesEndsAfterTheConnectionTimeout) {
  FullBacklogListener listener;
  ASSERT_TRUE(listener.Full()) << "the accept queue could not be filled";
  smpp.SMPPServerPort(listener.Port());
  const auto start = steady_clock::now();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_GE(steady_clock::now() - start, milliseconds(900));  // ConnectionTimeout is 1 s
  EXPECT_EQ(events.Names(), Names{});
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(smpp.SocketHandle(), 0);  // the attempt was abandoned

  smpp.SMPPServerPort(smsc.Port());
  BindAs(BindTypes::SmppBindAsTransmitter);
}

std::size_t CountOf(const std::vector<std::vector<uint8_t>>& pdus, uint32_t command_id) {
  std::size_t count = 0;
  for (const auto& pdu : pdus) count += CommandIdOf(pdu) == command_id ? 1 : 0;
  return count;
}

// An auto-replying host that waits for each reply's id from inside
// MessageReceived, with thousands of deliveries queued at once. Each wait
// runs a drain inside the drain that raised it; unbounded, that nesting
// overflowed the stack at about 3,500 deliveries. Deep drains now take only
// responses, so the nesting stays shallow and nothing is lost or repeated.
TEST_F(FaultsTest, AWaitedReplyToEachOfThousandsOfQueuedDeliveriesKeepsTheStackShallow) {
  constexpr uint32_t kDeliveries = 4000;
  BindAs(BindTypes::SmppBindAsTransceiver);
  smpp.Unsubscribe(events);
  MessageObject reply = smpp.NewMessage();
  reply.DestAddress = "4479";
  reply.ShortMessage = "auto reply";
  struct AutoReplier : CountingSink {
    std::function<void()> reply;
    void MessageReceived(MessageObject& message) override {
      CountingSink::MessageReceived(message);
      reply();
    }
  } host;
  std::vector<std::string> ids;
  host.reply = [&] { ids.push_back(smpp.SendMessage(reply, true)); };
  smpp.Subscribe(host);
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= kDeliveries; ++number) {
    const auto pdu = DeliverSm(number, "mo");
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntil(
      loop, [&] { return ids.size() >= kDeliveries && smsc.ReceivedCount() > 2 * kDeliveries; },
      std::chrono::seconds(60)));
  smpp.Unsubscribe(host);

  ASSERT_EQ(host.received_sequences.size(), kDeliveries);
  for (uint32_t number = 1; number <= kDeliveries; ++number)
    ASSERT_EQ(host.received_sequences[number - 1], static_cast<int32_t>(number));
  for (const std::string& id : ids) ASSERT_FALSE(id.empty());
  EXPECT_EQ(host.delivered_ids.size(), kDeliveries);
  EXPECT_EQ(host.errors, std::vector<int32_t>{});
  const auto pdus = smsc.Received();
  EXPECT_EQ(pdus.size(), 1 + 2 * kDeliveries);
  EXPECT_EQ(CountOf(pdus, kSubmitSmId), kDeliveries);
  uint32_t next_response = 1;
  for (const auto& pdu : pdus) {
    if (CommandIdOf(pdu) == kDeliverSmRespId) {
      ASSERT_EQ(pdu, DeliverSmResp(next_response++));
    }
  }
  EXPECT_EQ(next_response, kDeliveries + 1);
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
  std::vector<uint8_t> burst;
  for (uint32_t number = 1; number <= 6; ++number) {
    const auto pdu = DeliverSm(number, "queued");
    burst.insert(burst.end(), pdu.begin(), pdu.end());
  }
  smsc.Send(burst);
  ASSERT_TRUE(PumpUntilEvent("UnBound"));
  events.on_event = nullptr;
  ASSERT_EQ(events.Names(),
            (Names{"MessageReceived", "MessageReceived", "MessageReceived", "MessageReceived",
                   "MessageReceived", "MessageReceived", "UnBound"}));
  for (int32_t number = 1; number <= 6; ++number)
    EXPECT_EQ(events.events[number - 1].message.SequenceNumber, number);
  EXPECT_FALSE(smpp.ConnectedAndBound);
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= 8; }));
  const auto pdus = smsc.Received();
  ASSERT_EQ(pdus.size(), 8u);
  const std::vector<uint32_t> responded = {1, 2, 3, 0, 4, 5, 6};  // 0: the unbind
  for (std::size_t index = 0; index < responded.size(); ++index) {
    const auto& pdu = pdus[index + 1];
    if (responded[index] == 0) {
      EXPECT_EQ(CommandIdOf(pdu), 0x00000006u);
    } else {
      EXPECT_EQ(pdu, DeliverSmResp(responded[index]));
    }
  }
  BindAs(BindTypes::SmppBindAsReceiver);
  smsc.Send(DeliverSm(7, "after"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  EXPECT_EQ(events.Names(), Names{"MessageReceived"});
}

// A host that pumps inside MessageReceived and reconnects from inside
// ConnectionClosed. The SMSC sends two deliveries and closes: the close is
// handled inside the first delivery's event, and the reconnect with it. The
// second delivery belongs to the closed connection, which can no longer
// carry its acknowledgement; it must not be acknowledged on the new one (an
// SMSC matches responses per connection and delivers it again there).
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
  std::vector<uint8_t> burst = DeliverSm(1, "first");
  const auto second = DeliverSm(2, "second");
  burst.insert(burst.end(), second.begin(), second.end());
  smsc.Send(burst);
  smsc.Close();
  ASSERT_TRUE(PumpUntil(loop, [&] { return reconnected && smpp.ConnectedAndBound; }));
  events.on_event = nullptr;
  EXPECT_EQ(events.Names(), (Names{"MessageReceived", "ConnectionClosed", "Bound"}));
  EXPECT_EQ(events.events[0].message.SequenceNumber, 1);

  // Delivered again on the new connection, it is raised and acknowledged
  // there, and that is the first thing the new connection carries after
  // the bind. (The closing SMSC recorded nothing after its close.)
  events.events.clear();
  smsc.Send(DeliverSm(2, "second"));
  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  ASSERT_TRUE(PumpUntil(loop, [&] { return smsc.ReceivedCount() >= 3; }));
  const auto pdus = smsc.Received();
  ASSERT_EQ(pdus.size(), 3u);
  EXPECT_EQ(CommandIdOf(pdus[1]), 0x00000001u);
  EXPECT_EQ(pdus[2], DeliverSmResp(2));
}

}  // namespace
}  // namespace korvane::testing
