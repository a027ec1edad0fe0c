#include "session/link_supervision.hpp"

#include "session/header_only_pdu.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::session {
namespace {

constexpr int32_t kTickMilliseconds = 1000;

// The enquire_link request, always with sequence_number 1.
bool EnquireTLink(Session& session) {
  bool sent = false;
  session.Procedure("EnquireTLink").Step([&] {
    sent = SendHeaderOnlyPdu(session, vocabulary::kEnquireLink, vocabulary::kEnquireLinkSequence,
                             "Sent ENQUIRE_LINK");
    if (sent) session.dead_link_watch().EnquireSent();
  });
  return sent;
}

}  // namespace

LinkSupervisor::LinkSupervisor(Session& session)
    : session_(session), timer_(session.environment().CreateTimer([this] { OnTick(); })) {}

void LinkSupervisor::SetInterval(int16_t seconds) {
  interval_ = seconds < 0 ? int16_t{0} : seconds;
  if (interval_ < 1) {
    timer_->Enabled(false);
  } else {
    timer_->Interval(kTickMilliseconds);
    timer_->Enabled(true);
  }
}

void LinkSupervisor::OnTick() {
  session_.Procedure("timAutoEnqLink_Timer").Step([&] {
    if (interval_ <= 0) return;
    if (tick_count_ < interval_) {
      ++tick_count_;
    } else if (session_.bind_state().BindingType() != 0) {
      // No tick may start a second enquire_link while this one runs events.
      timer_->Enabled(false);
      EnquireLink(session_);
      tick_count_ = 1;
      // Unless a handler stopped the supervision meanwhile.
      if (interval_ >= 1) timer_->Enabled(true);
    }
    // Not bound: the count stays at the interval, so the first tick after a
    // bind sends at once.
  });
}

bool EnquireLink(Session& session) {
  bool sent = false;
  session.Procedure("EnquireLink").Step([&] {
    if (!session.bind_state().ConnectedAndBound()) {
      session.RaiseError(ErrorCode::NotBound, vocabulary::kComponentSource, "Not bound");
      return;
    }
    sent = EnquireTLink(session);
  });
  return sent;
}

void EnquireLinkReply(Session& session, uint32_t sequence_number) {
  session.Procedure("EnquireLinkReply").Step([&] {
    SendHeaderOnlyPdu(session, vocabulary::kEnquireLinkResp, sequence_number,
                      "Sent ENQUIRE_LINK_RESP");
  });
}

}  // namespace korvane::session
