#include "session/pdu_framer.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "support/loopback_smsc.hpp"

namespace korvane::session {
namespace {

using Octets = std::vector<uint8_t>;
using testing::MakePdu;

Octets Join(const std::vector<Octets>& parts) {
  Octets joined;
  for (const Octets& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

TEST(PduFramerTest, CutsWholePdusWhereverTheStreamIsSplit) {
  const Octets first = MakePdu(0x80000015, 0, 1);
  const Octets second = MakePdu(0x00000005, 0, 2, Octets(300, 0x41));
  const Octets stream = Join({first, second, first});
  // Every split of the stream into two arrivals yields the same three PDUs.
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    PduFramer framer;
    auto head = framer.Feed(std::span(stream).first(cut));
    auto tail = framer.Feed(std::span(stream).subspan(cut));
    head.pdus.insert(head.pdus.end(), tail.pdus.begin(), tail.pdus.end());
    ASSERT_EQ(head.pdus, (std::vector<Octets>{first, second, first})) << "cut at " << cut;
    EXPECT_EQ(framer.PendingSize(), 0u);
    EXPECT_FALSE(tail.invalid_length);
  }
  // And so does an arrival per octet.
  PduFramer framer;
  std::vector<Octets> pdus;
  for (const uint8_t octet : stream) {
    auto result = framer.Feed(std::span(&octet, 1));
    pdus.insert(pdus.end(), result.pdus.begin(), result.pdus.end());
  }
  EXPECT_EQ(pdus, (std::vector<Octets>{first, second, first}));
  EXPECT_EQ(framer.PendingSize(), 0u);
}

TEST(PduFramerTest, ArrivalsLongerThan32KiBAreCut) {
  std::vector<Octets> pdus;
  for (uint32_t i = 0; i < 300; ++i) pdus.push_back(MakePdu(0x00000005, 0, i, Octets(200, 0x20)));
  PduFramer framer;
  EXPECT_EQ(framer.Feed(Join(pdus)).pdus, pdus);
}

TEST(PduFramerTest, ALengthThatCannotStartAPduBreaksTheStreamAfterTheWholePdus) {
  const Octets good = MakePdu(0x80000015, 0, 1);
  for (const uint32_t bad : {0u, 1u, 15u, kMaxCommandLength + 1, 0xFFFFFFFFu}) {
    PduFramer framer;
    Octets stream = good;
    for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(uint8_t(bad >> shift));
    stream.insert(stream.end(), 20, 0xEE);
    const auto result = framer.Feed(stream);
    EXPECT_EQ(result.pdus, std::vector<Octets>{good});
    EXPECT_EQ(result.invalid_length, bad);
    EXPECT_EQ(framer.PendingSize(), 0u);
  }
  // The largest admitted length is buffered, not refused.
  PduFramer framer;
  const Octets largest = MakePdu(0x00000005, 0, 1, Octets(kMaxCommandLength - 16, 0));
  EXPECT_EQ(framer.Feed(largest).pdus.size(), 1u);
}

// The length is only known once its last octet arrives; a broken one is
// still refused then, and nothing of it stays pending.
TEST(PduFramerTest, ABrokenLengthSplitAcrossArrivalsBreaksTheStream) {
  const Octets good = MakePdu(0x80000015, 0, 1);
  Octets head = good;
  head.insert(head.end(), {0x00, 0x00});
  PduFramer framer;
  const auto first = framer.Feed(head);
  EXPECT_EQ(first.pdus, std::vector<Octets>{good});
  EXPECT_FALSE(first.invalid_length);
  const auto second = framer.Feed(Octets{0x00, 0x05, 0xEE, 0xEE});
  EXPECT_TRUE(second.pdus.empty());
  EXPECT_EQ(second.invalid_length, 5u);
  EXPECT_EQ(framer.PendingSize(), 0u);
}

TEST(PduFramerTest, AnArrivalThatIsOneWholePduIsTakenWithoutACopy) {
  Octets arrival = MakePdu(0x80000004, 0, 3, Octets(9, 0x30));
  const Octets expected = arrival;
  const uint8_t* storage = arrival.data();
  PduFramer framer;
  const auto result = framer.Feed(std::move(arrival));
  ASSERT_EQ(result.pdus, std::vector<Octets>{expected});
  EXPECT_EQ(result.pdus.front().data(), storage);
}

// An owned arrival that completes a pending PDU is appended to it, even
// when its own first octets read like the length of a whole PDU.
TEST(PduFramerTest, AnArrivalThatCompletesAPendingPduIsNotTakenAsAPdu) {
  Octets body(20, 0x41);
  body[0] = body[1] = body[2] = 0x00, body[3] = 20;  // the body alone looks like a 20-octet PDU
  const Octets pdu = MakePdu(0x00000005, 0, 1, body);
  PduFramer framer;
  EXPECT_TRUE(framer.Feed(Octets(pdu.begin(), pdu.begin() + 16)).pdus.empty());
  EXPECT_EQ(framer.Feed(Octets(body)).pdus, std::vector<Octets>{pdu});
  EXPECT_EQ(framer.PendingSize(), 0u);
}

}  // namespace
}  // namespace korvane::session
