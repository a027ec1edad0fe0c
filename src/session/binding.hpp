// Bind and unbind: the bind requests with their fixed sequence numbers, the
// unbind request, and the waits for their responses.
#pragma once

#include <cstdint>

namespace korvane::session {

class Session;

// Connects and binds as receiver (1), transmitter (2) or transceiver (3),
// then yields until the SMSC accepts or OperationsTimeout passes. Returns the
// accepted binding type, or 0.
int16_t Bind(Session& session, int32_t binding_type);

// Builds and sends the bind request of this type (1, 2 or 3) from the
// settings, with its fixed sequence number; any other type raises Error
// "Invalid Binding Type" and sends nothing (false then).
bool SendBindRequest(Session& session, int32_t binding_type);

// Sends unbind, yields until the SMSC's unbind_resp or OperationsTimeout, and
// closes the connection either way.
void Unbind(Session& session);

}  // namespace korvane::session
