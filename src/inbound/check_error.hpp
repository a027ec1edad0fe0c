// CheckError: the status check at the start of almost every dispatch branch.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvane::session {
class Session;
}

namespace korvane::inbound {

// True when `status` (the whole command_status) is 0. Otherwise raises
// the Error event with the status text for `operation`, sends the debug text
// and returns false.
bool CheckError(session::Session& session, uint32_t status, std::string_view operation);

}  // namespace korvane::inbound
