#include "platform/event_loop.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>

#include "korvane/event_loop.hpp"
#include "korvane/platform.hpp"

namespace korvane::platform {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The yield used inside a handler runs further events of the same loop:
// a timer completion and a handler posted by the running one.
TEST(EventLoopTest, DoEventsInsideAHandlerRunsFurtherEvents) {
  asio::io_context& loop = ThreadEventLoop();
  asio::steady_timer timer(loop);
  bool outer_done = false, posted_ran = false, timer_fired = false;
  asio::post(loop, [&] {
    asio::post(loop, [&] { posted_ran = true; });
    timer.expires_after(milliseconds(1));
    timer.async_wait([&](const std::error_code& error) { timer_fired = !error; });
    const Clock::time_point cap = Clock::now() + std::chrono::seconds(2);
    while (!(posted_ran && timer_fired) && Clock::now() < cap) DoEvents();
    outer_done = true;
  });
  const Clock::time_point cap = Clock::now() + std::chrono::seconds(3);
  while (!outer_done && Clock::now() < cap) DoEvents();
  EXPECT_TRUE(outer_done);
  EXPECT_TRUE(posted_ran);
  EXPECT_TRUE(timer_fired);
}

TEST(EventLoopTest, RunEventsProcessesEventsForTheWholeDuration) {
  asio::steady_timer timer(ThreadEventLoop());
  bool fired = false;
  timer.expires_after(milliseconds(5));
  timer.async_wait([&](const std::error_code& error) { fired = !error; });
  const Clock::time_point start = Clock::now();
  RunEvents(milliseconds(30));
  const auto elapsed = Clock::now() - start;
  EXPECT_TRUE(fired);
  EXPECT_GE(elapsed, milliseconds(30));
  EXPECT_LT(elapsed, milliseconds(500));
}

TEST(EventLoopTest, PumpOnceRestartsAStoppedLoop) {
  asio::io_context loop;
  loop.stop();
  bool ran = false;
  asio::post(loop, [&] { ran = true; });
  PumpOnce(loop, milliseconds(1));
  EXPECT_TRUE(ran);
}

// A caller looping on PumpOnce must not spin when the loop has nothing to do.
TEST(EventLoopTest, PumpOnceWaitsTheSliceOnALoopWithoutWork) {
  asio::io_context loop;
  const Clock::time_point start = Clock::now();
  PumpOnce(loop, milliseconds(20));
  EXPECT_GE(Clock::now() - start, milliseconds(15));
}

}  // namespace
}  // namespace korvane::platform
