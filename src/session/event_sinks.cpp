#include "session/event_sinks.hpp"

namespace korvane::session {

void EventSinks::Subscribe(SMPPEvents& sink) {
  if (!IsSubscribed(&sink)) sinks_.push_back(&sink);
}

void EventSinks::Unsubscribe(SMPPEvents& sink) { std::erase(sinks_, &sink); }

}  // namespace korvane::session
