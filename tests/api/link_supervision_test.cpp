#include <gtest/gtest.h>

#include <chrono>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::Hex;

using Names = std::vector<std::string>;
constexpr uint32_t kEnquireLink = 0x00000015;

class LinkSupervisionTest : public testing::SessionFixture {
 protected:
  // When each enquire_link left, relative to now.
  std::vector<std::chrono::milliseconds> EnquireLinkTimes(seconds span) {
    std::vector<std::chrono::milliseconds> times;
    const auto start = environment.Elapsed();
    std::size_t seen = socket.Sent().size();
    while (environment.Elapsed() - start < span) {
      environment.Yield();
      for (; seen < socket.Sent().size(); ++seen) {
        if (testing::CommandIdOf(socket.Sent()[seen]) == kEnquireLink)
          times.push_back(environment.Elapsed() - start);
      }
    }
    return times;
  }
};

TEST_F(LinkSupervisionTest, EnquireLinkReportsThatItWasSentAndDoesNotWait) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  EXPECT_TRUE(smpp.EnquireLink());
  EXPECT_EQ(socket.Sent().back(), Hex("00 00 00 10 00 00 00 15 00 00 00 00 00 00 00 01"));
  EXPECT_TRUE(events.events.empty());  // it does not wait for the reply
  environment.Advance(milliseconds(20));
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
}

TEST_F(LinkSupervisionTest, AutomaticEnquireLinksLeaveEveryIntervalWhileBound) {
  smpp.AutoEnquireLinkInterval(30);
  // Not bound: ticks send nothing and raise nothing.
  EXPECT_TRUE(EnquireLinkTimes(seconds(45)).empty());
  EXPECT_TRUE(events.events.empty());
  // The count has reached the interval: the first tick after the bind sends.
  BindAs(BindTypes::SmppBindAsTransmitter);
  const auto times = EnquireLinkTimes(seconds(95));
  ASSERT_EQ(times.size(), 4u);
  EXPECT_LE(times[0], seconds(1));
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], seconds(30));
  for (const auto& pdu : socket.Sent()) {
    if (testing::CommandIdOf(pdu) == kEnquireLink) {
      EXPECT_EQ(testing::SequenceNumberOf(pdu), 1u);
    }
  }
}

TEST_F(LinkSupervisionTest, ANegativeIntervalReadsZeroAndStopsTheTicks) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  smpp.AutoEnquireLinkInterval(2);
  EXPECT_EQ(EnquireLinkTimes(seconds(4)).size(), 1u);
  smpp.AutoEnquireLinkInterval(-5);
  EXPECT_EQ(smpp.AutoEnquireLinkInterval(), 0);
  EXPECT_TRUE(EnquireLinkTimes(seconds(10)).empty());
}

}  // namespace
}  // namespace korvane
