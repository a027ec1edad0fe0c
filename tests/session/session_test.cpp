// The session's pure parts: the event sinks, the PDU framer, and the send
// pacer on explicit time points.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "session/event_sinks.hpp"
#include "session/pdu_framer.hpp"
#include "session/send_pacer.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane::session {
namespace {

using Octets = std::vector<uint8_t>;
using testing::MakePdu;

// A sink that logs its name and runs an action when it is called.
struct NamedSink : SMPPEvents {
  NamedSink(char name, std::string& log) : name(name), log(log) {}
  void LinkOk() override { log += name, on_event ? on_event() : void(); }
  char name;
  std::string& log;
  std::function<void()> on_event;
};

// Sinks are called in subscription order, once each; during an event an
// unsubscribing applies at once and a subscribing from the next event on,
// also for a sole sink (called without a snapshot).
TEST(EventSinksTest, SubscriptionsDuringAnEvent) {
  std::string log;
  NamedSink a{'a', log}, b{'b', log}, c{'c', log};
  EventSinks sinks, sole;
  const auto raise = [&](EventSinks& s, std::function<void()> on_a, std::function<void()> on_c) {
    a.on_event = std::move(on_a), c.on_event = std::move(on_c);
    s.Raise([](SMPPEvents& sink) { sink.LinkOk(); });
  };
  for (NamedSink* sink : {&a, &b, &a}) sinks.Subscribe(*sink);
  sinks.Unsubscribe(c);
  raise(sinks, nullptr, nullptr);
  raise(
      sinks, [&] { sinks.Unsubscribe(b), sinks.Subscribe(c); }, nullptr);
  raise(sinks, nullptr, [&] { sinks.Unsubscribe(c); });
  raise(sinks, nullptr, nullptr);
  sole.Subscribe(a);
  raise(
      sole, [&] { sole.Subscribe(b), sole.Unsubscribe(a); }, nullptr);
  raise(sole, nullptr, nullptr);
  EXPECT_EQ(log, "abaacaab");
}

// Every split of a stream into two arrivals gives the same PDUs. A length
// that cannot start a PDU breaks the stream after the whole PDUs, also when
// split across arrivals; the largest admitted length is buffered. An arrival
// that completes a pending PDU is appended even when it reads like a PDU.
// Each Feed shows as "<pdus> <pending>[ bad <length>]".
TEST(PduFramerTest, CutsWholePdusWhereverTheStreamIsSplit) {
  std::vector<Octets> pdus;
  const auto fed = [&](PduFramer& framer, Octets octets) {
    auto result = framer.Feed(std::move(octets));
    pdus.insert(pdus.end(), result.pdus.begin(), result.pdus.end());
    return std::to_string(result.pdus.size()) + " " + std::to_string(framer.PendingSize()) +
           (result.invalid_length ? " bad " + std::to_string(*result.invalid_length) : "");
  };
  const Octets good = MakePdu(0x80000015, 0, 1);
  const std::vector<Octets> expected{good, MakePdu(5, 0, 2, Octets(300, 0x41)), good};
  Octets stream;
  for (const Octets& pdu : expected) stream.insert(stream.end(), pdu.begin(), pdu.end());
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    PduFramer framer;
    pdus.clear();
    fed(framer, Octets(stream.begin(), stream.begin() + std::ptrdiff_t(cut)));
    EXPECT_EQ(fed(framer, Octets(stream.begin() + std::ptrdiff_t(cut), stream.end())).back(), '0');
    ASSERT_EQ(pdus, expected) << "cut at " << cut;
  }
  PduFramer framer;
  for (const uint32_t bad : {0u, 15u, kMaxCommandLength + 1, 0xFFFFFFFFu}) {
    PduFramer broken;
    Octets tail = good;
    for (int shift = 24; shift >= 0; shift -= 8) tail.push_back(uint8_t(bad >> shift));
    tail.insert(tail.end(), 20, 0xEE);
    EXPECT_EQ(fed(broken, tail), "1 0 bad " + std::to_string(bad));
  }
  EXPECT_EQ(fed(framer, MakePdu(5, 0, 1, Octets(kMaxCommandLength - 16, 0))), "1 0");
  Octets head = good;
  head.insert(head.end(), {0x00, 0x00});
  EXPECT_EQ(fed(framer, head), "1 2");
  EXPECT_EQ(fed(framer, {0x00, 0x05, 0xEE, 0xEE}), "0 0 bad 5");
  Octets body(20, 0x41);
  body[0] = body[1] = body[2] = 0x00, body[3] = 20;
  const Octets pdu = MakePdu(5, 0, 1, body);
  pdus.clear();
  EXPECT_EQ(fed(framer, Octets(pdu.begin(), pdu.begin() + 16)), "0 16");
  EXPECT_EQ(fed(framer, body), "1 0");
  EXPECT_EQ(pdus, std::vector<Octets>{pdu});
}

using TimePoint = SendPacer::TimePoint;
TimePoint At(int64_t ms) {
  return TimePoint{std::chrono::hours(1)} + std::chrono::milliseconds(ms);
}

// Cap 100: one every 10 ms; a late send keeps the grid while at most 5 ms
// (half an interval) behind, and restarts it further behind.
TEST(SendPacerTest, SendsSitOnAnEvenGrid) {
  const int64_t steps[][3] = {{0, 1, 0},     {4, 0, 6000}, {10, 1, 0},   {24, 1, 0},
                              {26, 0, 4000}, {30, 1, 0},   {45, 1, 0},   {56, 1, 0},
                              {61, 0, 5000}, {66, 1, 0},   {67, 0, 9000}};  // ms, sent, delay us
  SendPacer pacer;
  pacer.SetCap(100);
  for (const auto& [ms, sent, delay_us] : steps) {
    EXPECT_EQ(std::chrono::round<std::chrono::microseconds>(pacer.Delay(At(ms))).count(), delay_us)
        << ms;
    if (sent) pacer.Sent(At(ms));
  }
}

// The first cut starts from what the SMSC accepted over the last second (what
// was sent when it accepted nothing), cut by 0.9, never above the cap. A
// burst of throttle answers then cuts once: not again within 100 ms, nor for
// a PDU sent before the cut; 20 s without a throttle answer end the pacing.
// (How the rate rises again: the throttle tests of tests/api.)
TEST(SendPacerTest, ThrottleAnswersCutTheRate) {
  const double cases[][5] = {
      {0, 0, 400, 0, 360},
      {300, 0, 400, 0, 300},
      {0, 0, 0, 40, 36},
      {0, 0, 0, 0, 1},
      {0, 10, 8, 400, 7.2}};  // cap, accepted a second before, accepted, sent
  for (const auto& [cap, before, accepted, sent, rate] : cases) {
    SendPacer pacer;
    pacer.SetCap(int32_t(cap));
    for (int i = 0; i < before; ++i) pacer.Accepted(At(-100));
    for (int i = 0; i < accepted; ++i) pacer.Accepted(At(900));
    for (int i = 0; i < sent; ++i) pacer.Sent(At(900));
    pacer.Throttled(At(1000), At(950));
    EXPECT_DOUBLE_EQ(pacer.Rate(), rate) << cap << " " << accepted << " " << sent;
    pacer.Delay(At(21000));
    EXPECT_EQ(pacer.Rate(), cap);
  }
  const int64_t steps[][3] = {
      {1050, 1000, 360}, {1120, 1110, 360}, {1160, 1040, 360}, {1160, 1050, 324}};
  SendPacer burst;
  for (int i = 0; i < 400; ++i) burst.Accepted(At(100));
  for (const auto& [at, sent_at, rate] : steps) {
    burst.Throttled(At(at), At(sent_at));
    EXPECT_DOUBLE_EQ(burst.Rate(), double(rate)) << at;
  }
}

}  // namespace
}  // namespace korvane::session
