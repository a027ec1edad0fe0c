// DeadLinkWatch: dead-link detection (LinkTimeout). The first enquire_link
// sent after the last arrival starts the watch; any octet received stops it;
// when LinkTimeout seconds pass first and the session is still bound, the
// connection is dropped as lost.
#pragma once

#include <memory>

#include "korvane/platform.hpp"

namespace korvane::session {

class Session;

class DeadLinkWatch {
 public:
  explicit DeadLinkWatch(Session& session);
  ~DeadLinkWatch();
  DeadLinkWatch(const DeadLinkWatch&) = delete;
  DeadLinkWatch& operator=(const DeadLinkWatch&) = delete;

  // An enquire_link went out: starts the watch unless it runs already.
  void EnquireSent();
  // Something arrived, or the connection ended: the watch stops.
  void Stop() {
    if (timer_ && timer_->Enabled()) timer_->Enabled(false);
  }

 private:
  void OnTimeout();

  Session& session_;
  std::unique_ptr<platform::Timer> timer_;  // made on first use
};

}  // namespace korvane::session
