#include "smsc/rebind_guard.hpp"

namespace korvane::smsc {

void RebindGuard::BindingDropped(const std::string& system_id, Clock::time_point when) {
  if (span_.count() <= 0) return;
  std::erase_if(dropped_, [&](const auto& entry) { return when - entry.second >= span_; });
  dropped_[system_id] = when;
}

bool RebindGuard::Refuses(const std::string& system_id, Clock::time_point now) const {
  const auto found = dropped_.find(system_id);
  return found != dropped_.end() && now - found->second < span_;
}

}  // namespace korvane::smsc
