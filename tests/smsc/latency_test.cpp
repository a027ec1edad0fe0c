// --latency-ms MEAN[,JITTER]: the option, the order delayed responses leave
// in, and a session over loopback.
#include <gtest/gtest.h>

#include "smsc/response_delay.hpp"
#include "smsc_fixture.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;

TEST(ResponseLatencyTest, TheOptionIsMeanAndAnOptionalJitterInMilliseconds) {
  const std::pair<const char*, int> cases[] = {// mean * 1000 + jitter; -1: refused
                                               {"0", 0},       {"20", 20000}, {"20,5", 20005},
                                               {"", -1},       {"-1", -1},    {"20,", -1},
                                               {"20,5,1", -1}, {"2x", -1},    {"3600001", -1}};
  for (const auto& [text, expected] : cases) {
    const std::optional<Latency> latency = ParseLatency(text);
    EXPECT_EQ(latency ? latency->mean.count() * 1000 + latency->jitter.count() : -1, expected)
        << text;
  }
}

TEST(ResponseLatencyTest, ResponsesLeaveInTheOrderOfTheirDueTimes) {
  DelayedResponses delayed({20ms, 5ms}, 1);
  for (int n = 0; n < 100; ++n) EXPECT_LE(delayed.Draw(), 25ms);
  const DelayedResponses::Clock::time_point t0{};
  delayed.Add(t0 + 30ms, {3});
  delayed.Add(t0 + 10ms, {1});
  delayed.Add(t0 + 30ms, {4});  // equal times: in the order added
  delayed.Add(t0 + 20ms, {2});
  delayed.Add(t0 + 5ms, {5}, /*last=*/true);  // behind every one waiting
  EXPECT_EQ(delayed.NextDue(), t0 + 10ms);
  EXPECT_EQ(delayed.TakeDue(t0 + 20ms), (std::vector<Octets>{{1}, {2}}));
  EXPECT_EQ(delayed.TakeDue(t0 + 60ms), (std::vector<Octets>{{3}, {4}, {5}}));
  EXPECT_TRUE(delayed.Empty());
}

TEST_F(SmscEngineTest, ResponsesWaitTheAddedLatency) {
  Start({.latency = {40ms, 10ms}});
  Client& client = BoundClient(BindTypes::SmppBindAsTransmitter);
  std::vector<SubmitResult> results;
  MessageObject message;
  message.DestAddress = "447700900123";
  for (int n = 0; n < 5; ++n)
    client.smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); });
  ASSERT_TRUE(testing::PumpUntil(
      loop, [&] { return results.size() == 5; }, 3s));
  for (const SubmitResult& r : results) {
    EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
    EXPECT_GE(r.Elapsed, 30ms);
  }
  client.smpp.Unbind();  // the unbind_resp comes last, then the close
  EXPECT_EQ(client.events.Named("UnBound").size(), 1u);
}

}  // namespace
}  // namespace korvane::smsc
