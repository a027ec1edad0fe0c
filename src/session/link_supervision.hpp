// Link supervision: enquire_link on request and every AutoEnquireLinkInterval
// seconds while bound, and the enquire_link_resp that answers the SMSC's own
// enquire_link. The one-second timer ticks on the loop thread, also inside
// the waits of other operations.
#pragma once

#include <cstdint>
#include <memory>

#include "korvane/platform.hpp"

namespace korvane::session {

class Session;

class LinkSupervisor {
 public:
  explicit LinkSupervisor(Session& session);

  // Stores the interval (a negative value as 0) and starts or stops the
  // one-second tick; the tick count carries on.
  void SetInterval(int16_t seconds);
  int16_t Interval() const { return interval_; }
  bool Ticking() const { return timer_->Enabled(); }

 private:
  void OnTick();

  Session& session_;
  std::unique_ptr<platform::Timer> timer_;
  int16_t interval_ = 0;
  int16_t tick_count_ = 0;
};

// Sends one enquire_link when ConnectedAndBound is set, else raises Error
// 98821 "Not bound". Does not wait for the reply. True when the enquire_link
// was handed to the socket.
bool EnquireLink(Session& session);

// Sends the enquire_link_resp answering an enquire_link with this
// sequence_number.
void EnquireLinkReply(Session& session, uint32_t sequence_number);

}  // namespace korvane::session
