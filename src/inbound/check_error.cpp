#include "inbound/check_error.hpp"

#include "inbound/status_table.hpp"
#include "session/session.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::inbound {

bool CheckError(session::Session& session, uint32_t status, std::string_view operation) {
  bool accepted = false;
  session.Procedure("CheckError").Step([&] {
    const std::optional<StatusReport> report = DescribeStatus(status, operation);
    if (!report) {
      accepted = true;
      return;
    }
    session.RaiseError(report->number, vocabulary::kComponentSource, report->description);
    session.SendDebugMsg(report->debug_text);
  });
  return accepted;
}

}  // namespace korvane::inbound
