// The subscribers of one session's events. Sinks are called in subscription
// order; a sink unsubscribed while an event is being raised (by itself or by
// another sink) is not called again, and the remaining sinks still receive
// the event in progress. Single-threaded: used on the session's loop thread.
#pragma once

#include <algorithm>
#include <vector>

#include "korvane/smpp_events.hpp"

namespace korvane::session {

class EventSinks {
 public:
  // Subscribing a sink twice keeps one subscription.
  void Subscribe(SMPPEvents& sink);
  // Unsubscribing an unknown sink does nothing.
  void Unsubscribe(SMPPEvents& sink);
  bool Empty() const { return sinks_.empty(); }

  // Calls `event(sink)` for every sink subscribed when the event starts and
  // still subscribed when its turn comes.
  template <typename Event>
  void Raise(Event&& event) {
    if (sinks_.empty()) return;
    // The usual single sink needs no snapshot: it is called once either way.
    if (sinks_.size() == 1) {
      event(*sinks_.front());
      return;
    }
    const std::vector<SMPPEvents*> snapshot = sinks_;
    for (SMPPEvents* sink : snapshot) {
      if (IsSubscribed(sink)) event(*sink);
    }
  }

 private:
  bool IsSubscribed(const SMPPEvents* sink) const {
    return std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end();
  }

  std::vector<SMPPEvents*> sinks_;
};

}  // namespace korvane::session
