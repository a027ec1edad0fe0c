// The simulator's fault decisions over explicit time points: the throttle
// window, the seeded draws, the disconnect points, the rebind guard, and the
// count of duplicate texts.
#include "smsc/fault_plan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "smsc/message_store.hpp"
#include "smsc/rebind_guard.hpp"
#include "smsc/throttle_window.hpp"

namespace korvane::smsc {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const Clock::time_point t0 = Clock::time_point{} + 1h;

// 3 in any second; the next once the first is a second old.
TEST(ThrottleWindowTest, AdmitsNInAnySecond) {
  ThrottleWindow window(3);
  const struct {
    std::chrono::milliseconds at;
    bool admitted;
  } cases[] = {{0ms, true},     {0ms, true},    {400ms, true},   {400ms, false},
               {999ms, false},  {1000ms, true}, {1000ms, true},  {1000ms, false},
               {1399ms, false}, {1400ms, true}, {1400ms, false}, {5000ms, true}};
  for (const auto& c : cases) EXPECT_EQ(window.Admit(t0 + c.at), c.admitted) << c.at.count();
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
  const struct { double queue_full_rate, drop_rate; } cases[] = {{0, 0}, {0.1, 0.25}, {1, 1}};
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
  SessionFaults every_third({.disconnect_every_pdus = 3}, 1), none({}, 1);
  std::string pattern;
  for (int n = 0; n < 7; ++n) pattern += every_third.CountPdu() ? 'x' : '.';
  EXPECT_EQ(pattern, "..x..x.");
  EXPECT_FALSE(none.CountPdu());
  EXPECT_EQ(none.DisconnectDue(t0), std::nullopt);
  EXPECT_EQ(SessionFaults({.disconnect_after_bind = 1500ms}, 1).DisconnectDue(t0), t0 + 1500ms);
}

// Dropped "esme" at 0 and at 2 s: refused for 500 ms after each.
TEST(RebindGuardTest, RefusesTheSameSystemIdWithinTheSpanAfterADrop) {
  RebindGuard guard(500ms), off(0ms);
  guard.BindingDropped("esme", t0);
  off.BindingDropped("esme", t0);
  const struct {
    const char* system_id;
    std::chrono::milliseconds at;
    bool refused;
  } cases[] = {{"esme", 0ms, true},   {"esme", 499ms, true}, {"esme", 500ms, false},
               {"other", 0ms, false}, {"esme", 2s, true},    {"esme", 2499ms, true}};
  for (const auto& c : cases) {
    if (c.at == 2s) guard.BindingDropped("esme", t0 + 2s);
    EXPECT_EQ(guard.Refuses(c.system_id, t0 + c.at), c.refused) << c.system_id << c.at.count();
  }
  EXPECT_FALSE(off.Refuses("esme", t0));
}

TEST(MessageStoreTest, CountsMessagesWhoseTextWasKeptBefore) {
  MessageStore store;
  const struct {
    const char* body;
    uint64_t duplicates_after;
  } cases[] = {{"one", 0}, {"two", 0}, {"one", 1}, {"", 1}, {"", 1}, {"one", 2}};
  for (const auto& c : cases) {
    StoredMessage message;
    message.body = c.body;
    store.Add(std::move(message));
    EXPECT_EQ(store.Duplicates(), c.duplicates_after) << c.body;
  }
}

}  // namespace
}  // namespace korvane::smsc
