// The inbound side's entry: the drain of the received-PDU queue and the
// dispatch of each PDU to the branch of its command.
//
// A host handler may pump events from inside a branch, so the drain may be
// entered again while an earlier PDU is being handled. Each PDU is taken off
// the queue before it is handled: every PDU is handled exactly once, and
// handling starts in arrival order.
#pragma once

#include <cstdint>
#include <vector>

namespace korvane::session {
class Session;
}

namespace korvane::inbound {

// Handles every queued PDU, oldest first, until the queue is empty. A PDU
// shorter than its 16-octet header is reported and dropped. Nested more than
// 64 deep, a drain handles only the queued responses, oldest first, and
// leaves the rest to the drains it is nested in.
void RPDUNotification(session::Session& session);

// Queues one PDU as if it had been received and drains the queue.
void TestPDU(session::Session& session, std::vector<uint8_t> pdu);

}  // namespace korvane::inbound
