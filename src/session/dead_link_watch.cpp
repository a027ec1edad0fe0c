#include "session/dead_link_watch.hpp"

#include "session/session.hpp"

namespace korvane::session {

DeadLinkWatch::DeadLinkWatch(Session& session) : session_(session) {}
DeadLinkWatch::~DeadLinkWatch() = default;

void DeadLinkWatch::EnquireSent() {
  const int32_t seconds = session_.settings().link_timeout;
  if (seconds <= 0 || (timer_ && timer_->Enabled())) return;
  if (!timer_) timer_ = session_.environment().CreateTimer([this] { OnTimeout(); });
  timer_->Interval(seconds * 1000);
  timer_->Enabled(true);
}

void DeadLinkWatch::OnTimeout() {
  timer_->Enabled(false);
  if (session_.bind_state().BindingType() == 0 || !session_.transport().Connected()) return;
  session_.transport().DropDeadLink();
}

}  // namespace korvane::session
