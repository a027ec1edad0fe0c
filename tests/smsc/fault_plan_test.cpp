// The simulator's decisions over explicit time points: the throttle window,
// the seeded fault draws, the rebind guard, the count of duplicate texts, the
// latency option and the order delayed responses leave in.
#include "smsc/fault_plan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "smsc/message_store.hpp"
#include "smsc/rebind_guard.hpp"
#include "smsc/response_delay.hpp"
#include "smsc/throttle_window.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const Clock::time_point t0 = Clock::time_point{} + 1h;

// 3 in any second; the next once the first is a second old. The times are
// milliseconds from t0, "+" admitted, "-" refused.
TEST(ThrottleWindowTest, AdmitsNInAnySecond) {
  ThrottleWindow window(3);
  std::string admitted;
  for (const int ms : {0, 0, 400, 400, 999, 1000, 1000, 1000, 1399, 1400, 1400, 5000})
    admitted += window.Admit(t0 + std::chrono::milliseconds(ms)) ? '+' : '-';
  EXPECT_EQ(admitted, "+++--++--+-+");
}

// Per submission: 'q' answered queue full, 'd' its answer dropped.
std::string Draws(const FaultOptions& options, uint32_t session) {
  SessionFaults faults(options, session);
  std::string drawn;
  for (int n = 0; n < 10000; ++n) {
    drawn += faults.SubmitStatus(t0) == kStatusQueueFull ? 'q' : '.';
    drawn += faults.DropAnswer() ? 'd' : '.';
  }
  return drawn;
}

TEST(SessionFaultsTest, DrawsFollowTheRatesAndRepeatWithTheSeedAndConnection) {
  for (const auto& [queue_full_rate, drop_rate] : {std::pair{0.0, 0.0}, {0.1, 0.25}, {1.0, 1.0}}) {
    const FaultOptions options{.queue_full_rate = queue_full_rate, .drop_rate = drop_rate};
    const std::string drawn = Draws(options, 1);
    EXPECT_EQ(Draws(options, 1), drawn);
    EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'q'), queue_full_rate * 10000, 150);
    EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'd'), drop_rate * 10000, 150);
  }
  const FaultOptions half{.drop_rate = 0.5, .seed = 1};
  EXPECT_NE(Draws(half, 2), Draws(half, 1));
  EXPECT_NE(Draws({.drop_rate = 0.5, .seed = 2}, 1), Draws(half, 1));
  // A queue-full answer takes no place under the throttle.
  SessionFaults faults({.throttle_tps = 1, .queue_full_rate = 1}, 1);
  EXPECT_EQ(faults.SubmitStatus(t0), kStatusQueueFull);
  EXPECT_EQ(faults.SubmitStatus(t0), kStatusQueueFull);  // not kStatusThrottled
}

// Dropped "esme" at 0 and at 2 s: refused for 500 ms after each.
TEST(RebindGuardTest, RefusesTheSameSystemIdWithinTheSpanAfterADrop) {
  RebindGuard guard(500ms), off(0ms);
  guard.BindingDropped("esme", t0);
  off.BindingDropped("esme", t0);
  std::string refused;
  for (const auto& [system_id, at] : {std::pair{"esme", 0ms},
                                      {"esme", 499ms},
                                      {"esme", 500ms},
                                      {"other", 0ms},
                                      {"esme", 2000ms},
                                      {"esme", 2499ms}}) {
    if (at == 2s) guard.BindingDropped("esme", t0 + 2s);
    refused += guard.Refuses(system_id, t0 + at) ? '+' : '-';
  }
  EXPECT_EQ(refused, "++--++");
  EXPECT_FALSE(off.Refuses("esme", t0));
}

TEST(MessageStoreTest, CountsMessagesWhoseTextWasKeptBefore) {
  MessageStore store;
  std::string duplicates;
  for (const char* body : {"one", "two", "one", "", "", "one"}) {
    StoredMessage message;
    message.body = body;
    store.Add(std::move(message));
    duplicates += std::to_string(store.Duplicates());
  }
  EXPECT_EQ(duplicates, "001112");
}

// --latency-ms MEAN[,JITTER]: mean * 1000 + jitter; -1: refused.
TEST(ResponseLatencyTest, TheOptionIsMeanAndAnOptionalJitterInMilliseconds) {
  std::string parsed;
  for (const char* text : {"0", "20", "20,5", "", "-1", "20,", "20,5,1", "2x", "3600001"}) {
    const std::optional<Latency> latency = ParseLatency(text);
    parsed +=
        std::to_string(latency ? latency->mean.count() * 1000 + latency->jitter.count() : -1) + " ";
  }
  EXPECT_EQ(parsed, "0 20000 20005 -1 -1 -1 -1 -1 -1 ");
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

}  // namespace
}  // namespace korvane::smsc
