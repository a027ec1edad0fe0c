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

}  // namespace
}  // namespace korvane::session
