#include "platform/event_loop.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "korvane/event_loop.hpp"
#include "korvane/platform.hpp"

namespace korvane::platform {
namespace {

using namespace std::chrono_literals;

// The yield used inside a handler runs further events of the same loop.
TEST(EventLoopTest, DoEventsInsideAHandlerRunsFurtherEvents) {
  asio::io_context& loop = ThreadEventLoop();
  bool inner_ran = false, outer_done = false;
  asio::post(loop, [&] {
    asio::post(loop, [&] { inner_ran = true; });
    for (int i = 0; i < 100 && !inner_ran; ++i) DoEvents();
    outer_done = inner_ran;
  });
  for (int i = 0; i < 100 && !outer_done; ++i) DoEvents();
  EXPECT_TRUE(outer_done);
}

// Neither a pass on a loop without work (so a caller looping on it never
// spins) nor RunEvents returns early; RunEvents runs events meanwhile.
TEST(EventLoopTest, PassesWaitInsteadOfReturningAtOnce) {
  asio::io_context idle;
  bool ran = false;
  asio::post(ThreadEventLoop(), [&] { ran = true; });
  const auto start = std::chrono::steady_clock::now();
  PumpOnce(idle, 10ms);
  RunEvents(15ms);
  EXPECT_TRUE(ran);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
}

}  // namespace
}  // namespace korvane::platform
