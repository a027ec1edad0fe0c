// The subcommands of korvane-smpp. Each runs on a bound session and returns
// the exit status; the caller unbinds.
#pragma once

#include "client_session.hpp"
#include "options.hpp"

namespace korvane::client {

int RunSend(const SendOptions& options, ClientSession& session);
int RunListen(const ListenOptions& options, ClientSession& session);
int RunQuery(const MessageReference& reference, ClientSession& session);
int RunCancel(const MessageReference& reference, ClientSession& session);
int RunEnquire(ClientSession& session);

}  // namespace korvane::client
