#include "platform/asio_timer.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>

#include "support/pump_until.hpp"

namespace korvane::platform {
namespace {

using korvane::testing::PumpUntil;
using std::chrono::milliseconds;

TEST(AsioTimerTest, TicksEveryIntervalWhileEnabled) {
  asio::io_context loop;
  int ticks = 0;
  AsioTimer timer(loop, [&] { ++ticks; });
  timer.Interval(2);
  EXPECT_FALSE(timer.Enabled());
  timer.Enabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks >= 4; }));
  EXPECT_EQ(timer.Interval(), 2);
}

TEST(AsioTimerTest, DisablingInsideATickStopsFurtherTicks) {
  asio::io_context loop;
  int ticks = 0;
  AsioTimer timer(loop, [&] {
    ++ticks;
    timer.Enabled(false);
  });
  timer.Interval(1);
  timer.Enabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks == 1; }));
  EXPECT_FALSE(PumpUntil(
      loop, [&] { return ticks > 1; }, milliseconds(30)));
}

// The re-arm precedes the callback, so a callback that yields sees the next
// tick; and the timer may be destroyed from inside its own tick.
TEST(AsioTimerTest, TickThatPumpsSeesTheNextTickAndMayDestroyTheTimer) {
  asio::io_context loop;
  int ticks = 0;
  std::unique_ptr<AsioTimer> timer;
  timer = std::make_unique<AsioTimer>(loop, [&] {
    if (++ticks == 1) {
      EXPECT_TRUE(PumpUntil(loop, [&] { return ticks == 2; }));
      timer.reset();
    }
  });
  timer->Interval(1);
  timer->Enabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return timer == nullptr; }));
  EXPECT_FALSE(PumpUntil(
      loop, [&] { return ticks > 2; }, milliseconds(20)));
}

}  // namespace
}  // namespace korvane::platform
