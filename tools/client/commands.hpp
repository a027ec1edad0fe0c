// The subcommands of korvane-smpp. Each runs on a bound session and returns
// the exit status; the caller unbinds.
#pragma once

#include <cstdint>
#include <vector>

#include "client_session.hpp"
#include "options.hpp"

namespace korvane::client {

int RunSend(const SendOptions& options, ClientSession& session);
// send --count: the load mode (load_command.cpp).
int RunLoad(const SendOptions& options, ClientSession& session);
// The submissions that carry one message with this body: one, or the parts
// of a text too long for one.
std::vector<MessageObject> MessagesOf(const SendOptions& options, ClientSession& session,
                                      const std::vector<uint8_t>& body);
int RunListen(const ListenOptions& options, ClientSession& session);
int RunQuery(const MessageReference& reference, ClientSession& session);
int RunCancel(const MessageReference& reference, ClientSession& session);
int RunEnquire(ClientSession& session);

}  // namespace korvane::client
