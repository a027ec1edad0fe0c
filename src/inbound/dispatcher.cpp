#include "inbound/dispatcher.hpp"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "inbound/message_reception.hpp"
#include "inbound/response_branches.hpp"
#include "inbound/session_branches.hpp"
#include "session/session.hpp"
#include "vocabulary/pdu_reader.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::inbound {
namespace {

// A request without a branch is answered with a generic_nack, except
// alert_notification, which takes no answer; other PDUs are only traced.
Branch UnhandledBranch(const ReceivedPdu& pdu) {
  if (!pdu.IsRequest() || pdu.header.command_id == vocabulary::kAlertNotification) return nullptr;
  return RefuseUnknownRequest;
}

// The branch for a PDU. Commands are told apart by the low octet of
// command_id; a command whose middle octets are not 0 (data_sm,
// alert_notification, ...) has no branch.
Branch BranchFor(const ReceivedPdu& pdu) {
  if (pdu.header.command_id == vocabulary::kDataSm) return ReceiveDataSm;
  if ((pdu.header.command_id & 0x00FFFF00) != 0) return UnhandledBranch(pdu);
  switch (pdu.CommandLow()) {
    case 0x00:
      return HandleGenericNack;
    case 0x01:
    case 0x02:
    case 0x09:
      return HandleBindResponse;
    case 0x03:
      return HandleQuerySmResp;
    case 0x04:
      return HandleSubmitSmResp;
    case 0x05:
      return HandleDeliverSm;
    case 0x06:
      return HandleUnbind;
    case 0x08:
      return HandleCancelSmResp;
    case 0x15:
      return HandleEnquireLink;
    case 0x21:
      return HandleSubmitMultiResp;
    default:
      return UnhandledBranch(pdu);
  }
}

// A handler that waits (SendMessage(m, true) from MessageReceived, say) runs
// a drain inside the drain that raised it, and that drain's next delivery
// does the same: a burst of thousands of deliveries would nest as deep and
// overflow the stack. Past this depth a drain takes only responses, which are
// what the waits inside it wait for, and leaves requests to the drains below,
// which handle them in order as they resume.
constexpr int32_t kMaxDrainDepth = 64;

// Takes the next PDU a drain handles off the queue: the oldest, or, for a
// drain past the depth limit, the oldest response.
std::optional<std::vector<uint8_t>> TakeNext(std::deque<std::vector<uint8_t>>& queue,
                                             bool responses_only) {
  auto next = queue.begin();
  if (responses_only) {
    next = std::find_if(queue.begin(), queue.end(), [](const std::vector<uint8_t>& pdu) {
      return pdu.size() >= vocabulary::kHeaderLength &&
             vocabulary::ReadHeader(pdu).command_id >> 24 == 0x80;
    });
  }
  if (next == queue.end()) return std::nullopt;
  std::vector<uint8_t> octets = std::move(*next);
  queue.erase(next);
  return octets;
}

void Handle(session::Session& session, ReceivedPdu& pdu) {
  auto procedure = session.Procedure("Handle");
  pdu.procedure = &procedure;
  if (const Branch branch = BranchFor(pdu)) {
    // A branch that fails part-way (a field running past the end of the PDU)
    // is reported once and abandoned; the PDU is still traced.
    procedure.Step([&] { branch(session, pdu); });
  }
  if (!pdu.traced && session.settings().enable_trace) {
    procedure.Step([&] { session.CalcTraceLog(pdu.octets, pdu.trace_label); });
  }
}

}  // namespace

void RPDUNotification(session::Session& session) {
  struct DepthGuard {
    explicit DepthGuard(session::Session& session) : session(session) {}
    ~DepthGuard() { session.LeaveDrain(); }
    session::Session& session;
  } guard(session);
  const bool responses_only = session.EnterDrain() > kMaxDrainDepth;
  // Off the queue before it is handled, so that a drain nested inside this
  // PDU's events neither handles it again nor loses a later one.
  while (std::optional<std::vector<uint8_t>> next = TakeNext(session.received(), responses_only)) {
    const std::vector<uint8_t>& octets = *next;
    std::optional<ReceivedPdu> pdu;
    session.Procedure("RPDUNotification").Step([&] {
      // Fails for fewer than 16 octets.
      pdu = ReceivedPdu{.octets = octets, .header = vocabulary::ReadHeader(octets)};
    });
    if (pdu) Handle(session, *pdu);
  }
}

void TestPDU(session::Session& session, std::vector<uint8_t> pdu) {
  session.Procedure("TestPDU").Step([&] {
    session.received().push_back(std::move(pdu));
    RPDUNotification(session);
  });
}

}  // namespace korvane::inbound
