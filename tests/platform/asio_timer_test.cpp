#include "platform/asio_timer.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>

#include "support/pump_until.hpp"

namespace korvane::platform {
namespace {

using korvane::testing::PumpUntil;

// Disabling inside a tick must also cancel the re-arm that precedes it.
TEST(AsioTimerTest, TicksEveryIntervalUntilDisabled) {
  asio::io_context loop;
  int ticks = 0;
  AsioTimer timer(loop, [&] {
    if (++ticks == 3) timer.Enabled(false);
  });
  timer.Interval(1);
  timer.Enabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks == 3; }));
  EXPECT_FALSE(PumpUntil(
      loop, [&] { return ticks > 3; }, std::chrono::milliseconds(10)));
}

}  // namespace
}  // namespace korvane::platform
