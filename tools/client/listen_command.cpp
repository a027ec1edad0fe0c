// listen: print what the SMSC delivers until interrupted, --count or --for.
#include "commands.hpp"
#include "exit_codes.hpp"

namespace korvane::client {

int RunListen(const ListenOptions& options, ClientSession& session) {
  // Messages are printed as they arrive (see SessionEvents); some may have
  // come with the bind's answer already.
  SessionEvents& events = session.events();
  const int& received = events.messages_received;
  session.smpp().AutoEnquireLinkInterval(30);  // keeps a quiet link alive
  const auto deadline = options.for_seconds > 0 ? std::chrono::steady_clock::now() +
                                                      std::chrono::seconds(options.for_seconds)
                                                : std::chrono::steady_clock::time_point::max();
  session.WaitUntil(
      [&] { return events.connection_closed || (options.count > 0 && received >= options.count); },
      deadline);
  // Parts of a concatenated message that never completed are shown, not lost.
  events.FlushIncomplete();
  if (events.connection_closed)
    return session.output().Fail(kExitFailure, "the SMSC closed the connection after " +
                                                   std::to_string(received) +
                                                   " message(s) - check the SMSC's log");
  if (!session.interrupted() && options.count > 0 && received < options.count)
    return session.output().Fail(kExitTimeout, "only " + std::to_string(received) + " of " +
                                                   std::to_string(options.count) +
                                                   " message(s) arrived within --for " +
                                                   std::to_string(options.for_seconds) + " s");
  return kExitOk;
}

}  // namespace korvane::client
