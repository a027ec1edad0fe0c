// The simulator's fault decisions over explicit time points: the throttle
// window, the seeded draws, the disconnect points, the rebind guard, and the
// count of duplicate texts.
#include "smsc/fault_plan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "smsc/message_store.hpp"
#include "smsc/rebind_guard.hpp"
#include "smsc/throttle_window.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const Clock::time_point t0 = Clock::time_point{} + 1h;

TEST(ThrottleWindowTest, AdmitsNInAnySecondAndTheNextOnceTheFirstIsASecondOld) {
  ThrottleWindow window(3);
  const struct {
    std::chrono::milliseconds at;
    bool admitted;
  } cases[] = {{0ms, true},     {0ms, true},    {400ms, true},   {400ms, false},
               {999ms, false},  {1000ms, true}, {1000ms, true},  {1000ms, false},
               {1399ms, false}, {1400ms, true}, {1400ms, false}, {5000ms, true}};
  for (const auto& c : cases) EXPECT_EQ(window.Admit(t0 + c.at), c.admitted) << c.at.count();
}

// Evenly spaced sending at the limit or below is never refused; above it,
// no one-second span ever holds more than N admitted submissions.
TEST(ThrottleWindowTest, EvenSendingAtTheLimitOrBelowIsNeverRefused) {
  const struct {
    int limit;
    double rate;  // sent per second, evenly
    bool any_refused;
  } cases[] = {{1, 0.95, false},  {7, 6.65, false}, {20, 19, false},
               {500, 475, false}, {20, 20, false},  {500, 500, false},
               {20, 21, true},    {500, 525, true}, {500, 5000, true}};
  for (const auto& c : cases) {
    ThrottleWindow window(c.limit);
    const auto spacing = std::chrono::nanoseconds(static_cast<int64_t>(1e9 / c.rate));
    std::vector<Clock::time_point> admitted;
    int refused = 0;
    for (int n = 0; n < static_cast<int>(c.rate * 10); ++n) {
      const Clock::time_point at = t0 + n * spacing;
      if (window.Admit(at)) {
        admitted.push_back(at);
      } else {
        ++refused;
      }
    }
    EXPECT_EQ(refused > 0, c.any_refused) << c.limit << " at " << c.rate;
    for (std::size_t i = c.limit; i < admitted.size(); ++i)
      ASSERT_GE(admitted[i] - admitted[i - c.limit], 1s) << c.limit << " at " << c.rate;
  }
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
  const struct {
    double queue_full_rate;
    double drop_rate;
  } cases[] = {{0, 0}, {0.1, 0}, {0, 0.25}, {0.1, 0.25}, {1, 1}};
  for (const auto& c : cases) {
    const FaultOptions options{.queue_full_rate = c.queue_full_rate, .drop_rate = c.drop_rate};
    const std::string drawn = Draws(options, 1);
    EXPECT_EQ(Draws(options, 1), drawn);
    EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'q'), c.queue_full_rate * 10000, 150);
    EXPECT_NEAR(std::count(drawn.begin(), drawn.end(), 'd'), c.drop_rate * 10000, 150);
  }
  const FaultOptions half{.drop_rate = 0.5, .seed = 1};
  EXPECT_NE(Draws(half, 2), Draws(half, 1));
  EXPECT_NE(Draws({.drop_rate = 0.5, .seed = 2}, 1), Draws(half, 1));
}

TEST(SessionFaultsTest, AQueueFullAnswerTakesNoPlaceUnderTheThrottle) {
  SessionFaults faults({.throttle_tps = 1, .queue_full_rate = 1}, 1);
  EXPECT_EQ(faults.SubmitStatus(t0), kStatusQueueFull);
  EXPECT_EQ(faults.SubmitStatus(t0), kStatusQueueFull);  // not kStatusThrottled
}

TEST(SessionFaultsTest, DisconnectsAfterEveryNthPduAndAfterTheBind) {
  SessionFaults every_third({.disconnect_every_pdus = 3}, 1);
  std::string pattern;
  for (int n = 0; n < 7; ++n) pattern += every_third.CountPdu() ? 'x' : '.';
  EXPECT_EQ(pattern, "..x..x.");
  SessionFaults none({}, 1);
  EXPECT_FALSE(none.CountPdu());
  EXPECT_EQ(none.DisconnectDue(t0), std::nullopt);
  EXPECT_EQ(SessionFaults({.disconnect_after_bind = 1500ms}, 1).DisconnectDue(t0), t0 + 1500ms);
}

TEST(RebindGuardTest, RefusesTheSameSystemIdWithinTheSpanAfterADrop) {
  RebindGuard guard(500ms);
  guard.BindingDropped("esme", t0);
  const struct {
    const char* system_id;
    std::chrono::milliseconds at;
    bool refused;
  } cases[] = {{"esme", 0ms, true},
               {"esme", 499ms, true},
               {"esme", 500ms, false},
               {"other", 0ms, false},
               {"esme", 2s, false}};
  for (const auto& c : cases)
    EXPECT_EQ(guard.Refuses(c.system_id, t0 + c.at), c.refused) << c.system_id << c.at.count();
  guard.BindingDropped("esme", t0 + 2s);  // a later drop guards again
  EXPECT_TRUE(guard.Refuses("esme", t0 + 2400ms));
  RebindGuard off(0ms);
  off.BindingDropped("esme", t0);
  EXPECT_FALSE(off.Refuses("esme", t0));
}

TEST(MessageStoreTest, CountsMessagesWhoseTextWasKeptBefore) {
  MessageStore store;
  const struct {
    const char* body;
    uint64_t duplicates_after;
  } cases[] = {{"one", 0}, {"two", 0}, {"one", 1}, {"", 1}, {"", 1}, {"one", 2}, {"three", 2}};
  for (const auto& c : cases) {
    StoredMessage message;
    message.body = c.body;
    store.Add(std::move(message));
    EXPECT_EQ(store.Duplicates(), c.duplicates_after) << c.body;
  }
}

}  // namespace
}  // namespace korvane::smsc
