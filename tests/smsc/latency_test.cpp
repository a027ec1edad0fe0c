// --latency-ms MEAN[,JITTER]: the option's text, the order delayed
// responses leave in, and one session over loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "smsc/response_delay.hpp"
#include "smsc_fixture.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using Clock = DelayedResponses::Clock;

TEST(ResponseLatencyTest, TheOptionIsMeanAndAnOptionalJitterInMilliseconds) {
  struct Case {
    const char* text;
    std::optional<std::pair<int, int>> parsed;
  };
  const Case cases[] = {
      {"0", std::pair{0, 0}},
      {"20", std::pair{20, 0}},
      {"20,5", std::pair{20, 5}},
      {"0,3", std::pair{0, 3}},
      {"", std::nullopt},
      {"-1", std::nullopt},
      {"20,", std::nullopt},
      {"20,5,1", std::nullopt},
      {"2x", std::nullopt},
      {"3600001", std::nullopt},
      {"3600000", std::pair{3600000, 0}},
  };
  for (const Case& c : cases) {
    const std::optional<Latency> latency = ParseLatency(c.text);
    ASSERT_EQ(latency.has_value(), c.parsed.has_value()) << c.text;
    if (!latency) continue;
    EXPECT_EQ(latency->mean.count(), c.parsed->first) << c.text;
    EXPECT_EQ(latency->jitter.count(), c.parsed->second) << c.text;
    EXPECT_EQ(latency->Any(), c.parsed->first + c.parsed->second > 0) << c.text;
  }
}

TEST(ResponseLatencyTest, ResponsesLeaveInTheOrderOfTheirDueTimes) {
  DelayedResponses delayed({20ms, 0ms}, 1);
  const Clock::time_point t0{};
  delayed.Add(t0 + 30ms, {3});
  delayed.Add(t0 + 10ms, {1});
  delayed.Add(t0 + 30ms, {4});  // equal times: in the order added
  delayed.Add(t0 + 20ms, {2});
  delayed.Add(t0 + 5ms, {5}, /*last=*/true);  // behind every one waiting
  EXPECT_EQ(delayed.NextDue(), t0 + 10ms);
  EXPECT_TRUE(delayed.TakeDue(t0 + 9ms).empty());
  EXPECT_EQ(delayed.TakeDue(t0 + 20ms), (std::vector<Octets>{{1}, {2}}));
  EXPECT_EQ(delayed.TakeDue(t0 + 60ms), (std::vector<Octets>{{3}, {4}, {5}}));
  EXPECT_TRUE(delayed.Empty());
  EXPECT_EQ(delayed.NextDue(), std::nullopt);
}

TEST(ResponseLatencyTest, DrawsStayWithinMeanPlusOrMinusJitterAndNeverBelowZero) {
  struct Case {
    Latency latency;
    Clock::duration low, high;
  };
  const Case cases[] = {
      {{20ms, 0ms}, 20ms, 20ms},
      {{20ms, 5ms}, 15ms, 25ms},
      {{2ms, 10ms}, 0ms, 12ms},
  };
  for (const Case& c : cases) {
    DelayedResponses delayed(c.latency, 7);
    for (int n = 0; n < 200; ++n) {
      const Clock::duration delay = delayed.Draw();
      EXPECT_GE(delay, c.low);
      EXPECT_LE(delay, c.high);
    }
  }
}

// The answer comes no sooner than the latency; the session still ends
// with its unbind answered, behind the delayed responses.
TEST_F(SmscEngineTest, ResponsesWaitTheAddedLatency) {
  Start({.latency = {40ms, 10ms}});
  Client& client = BoundClient(BindTypes::SmppBindAsTransmitter);
  std::vector<SubmitResult> results;
  MessageObject message;
  message.DestAddress = "447700900123";
  message.ShortMessage = Variant(std::string("slow"));
  for (int n = 0; n < 5; ++n)
    client.smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  ASSERT_TRUE(testing::PumpUntil(
      loop, [&] { return results.size() == 5; }, 3s));
  for (const SubmitResult& r : results) {
    EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
    EXPECT_GE(r.Elapsed, 30ms);
  }
  client.smpp.Unbind();
  EXPECT_FALSE(client.events.Named("UnBound").empty());
}

}  // namespace
}  // namespace korvane::smsc
