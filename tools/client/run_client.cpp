#include "run_client.hpp"

#include "client_session.hpp"
#include "commands.hpp"
#include "exit_codes.hpp"
#include "options.hpp"

namespace korvane::client {
namespace {

int RunCommand(const ClientOptions& options, ClientSession& session) {
  if (options.command == "send") return RunSend(options.send, session);
  if (options.command == "listen") return RunListen(options.listen, session);
  if (options.command == "query") return RunQuery(options.reference, session);
  if (options.command == "cancel") return RunCancel(options.reference, session);
  return RunEnquire(session);
}

}  // namespace

int RunClient(int argc, char** argv, std::ostream& out, std::ostream& err) {
  auto parsed = ParseOptions(argc, argv, out, err);
  if (const int* exit_status = std::get_if<int>(&parsed)) return *exit_status;
  const ClientOptions& options = std::get<ClientOptions>(parsed);
  Output output(out, err, options.common.json);
  ClientSession session(options.common, output);
  if (const int failed = session.Bind(); failed != kExitOk) return failed;
  return session.Finish(RunCommand(options, session));
}

}  // namespace korvane::client
