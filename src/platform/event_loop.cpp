#include "platform/event_loop.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "korvane/event_loop.hpp"
#include "korvane/platform.hpp"

namespace korvane {
namespace platform {
namespace {

// The loop of one thread; the guard keeps it from ever running out of work.
struct ThreadLoop {
  asio::io_context context;
  asio::executor_work_guard<asio::io_context::executor_type> guard{context.get_executor()};
};

}  // namespace

asio::io_context& ThreadEventLoop() {
  thread_local ThreadLoop loop;
  return loop.context;
}

void PumpOnce(asio::io_context& loop, std::chrono::milliseconds slice) {
  if (loop.stopped()) loop.restart();
  // Without outstanding work poll would stop the loop and run_one_for would
  // return at once. Releasing the guard may leave the loop stopped; the next
  // pass restarts it.
  auto guard = asio::make_work_guard(loop);
  if (slice <= std::chrono::milliseconds::zero()) {
    loop.poll();
    return;
  }
  // A ready handler runs at once, without a wait; either way whatever is
  // ready after it runs too. One look at the sockets where a pass finds
  // nothing ready, instead of a poll followed by a wait.
  if (loop.run_one_for(slice) > 0) loop.poll();
}

void PumpOneUntil(asio::io_context& loop, std::chrono::steady_clock::time_point deadline) {
  if (loop.stopped()) loop.restart();
  auto guard = asio::make_work_guard(loop);
  if (loop.run_one_until(deadline) == 0) loop.poll_one();  // the deadline had passed
}

}  // namespace platform

void DoEvents() { platform::PumpOnce(platform::ThreadEventLoop(), platform::kYieldSlice); }

void RunEvents(std::chrono::milliseconds duration) {
  using Clock = std::chrono::steady_clock;
  asio::io_context& loop = platform::ThreadEventLoop();
  const Clock::time_point deadline = Clock::now() + duration;
  for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
    platform::PumpOnce(loop, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
  }
}

}  // namespace korvane
