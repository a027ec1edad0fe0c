#include "session/send_pacer.hpp"

#include <algorithm>

namespace korvane::session {
namespace {

using Seconds = std::chrono::duration<double>;

constexpr std::chrono::milliseconds kSlot{100};

SendPacer::Duration Interval(double rate) {
  return std::chrono::duration_cast<SendPacer::Duration>(Seconds(1.0 / rate));
}

}  // namespace

void SendPacer::SecondCount::Add(TimePoint now) {
  const int64_t index = now.time_since_epoch() / kSlot;
  Slot& slot = slots_[static_cast<std::size_t>(index % static_cast<int64_t>(slots_.size()))];
  if (slot.index != index) slot = {index, 0};
  ++slot.count;
}

int64_t SendPacer::SecondCount::Count(TimePoint now) const {
  const int64_t index = now.time_since_epoch() / kSlot;
  int64_t total = 0;
  for (const Slot& slot : slots_) {
    if (slot.index <= index && slot.index > index - static_cast<int64_t>(slots_.size()))
      total += slot.count;
  }
  return total;
}

double SendPacer::Rate() const {
  if (!adaptive_) return cap_;
  return cap_ > 0 ? std::min(rate_, cap_) : rate_;
}

void SendPacer::Forget(TimePoint now) {
  if (adaptive_ && now - last_cut_ >= kForgetAfter) adaptive_ = false;
}

SendPacer::Duration SendPacer::Delay(TimePoint now) {
  Forget(now);
  if (Rate() <= 0 || !any_sent_ || next_ <= now) return Duration::zero();
  return next_ - now;
}

void SendPacer::Sent(TimePoint now) {
  Forget(now);
  const double rate = Rate();
  if (rate > 0) {
    const Duration interval = Interval(rate);
    if (adaptive_ && any_sent_) {
      const Duration used = std::min<Duration>(now - last_sent_, interval);
      rate_ += raise_ * Seconds(used).count();
      if (cap_ > 0) rate_ = std::min(rate_, cap_);
    }
    const Duration catch_up = std::max<Duration>(interval / 2, kLeastCatchUp);
    next_ = (any_sent_ && next_ >= now - catch_up ? next_ : now) + interval;
  } else {
    next_ = now;
  }
  any_sent_ = true;
  last_sent_ = now;
  sent_.Add(now);
}

void SendPacer::Accepted(TimePoint now) { accepted_.Add(now); }

void SendPacer::Throttled(TimePoint now, TimePoint sent_at) {
  Forget(now);
  if (adaptive_ && (sent_at < last_cut_ || now - last_cut_ < kCutSpacing)) return;
  // The basis: what the SMSC accepted over the last second; with nothing
  // accepted, the pace already set (a count of sends would be the few that
  // left while retries waited out their back-off, and collapse the rate);
  // with no pace either, the sends over the last second.
  const int64_t accepted = accepted_.Count(now);
  double basis = static_cast<double>(accepted);
  if (accepted == 0) basis = Rate() > 0 ? Rate() : static_cast<double>(sent_.Count(now));
  double rate = kCutFactor * basis;
  if (Rate() > 0) rate = std::min(rate, Rate());
  rate_ = std::max(rate, kMinimumRate);
  raise_ = std::max(kRaisePerSecond * rate_, kMinimumRaise);
  adaptive_ = true;
  last_cut_ = now;
  // The next send keeps the new, longer interval from the last one.
  if (any_sent_) next_ = std::max(next_, last_sent_ + Interval(Rate()));
}

}  // namespace korvane::session
