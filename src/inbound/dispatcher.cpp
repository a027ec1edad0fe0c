#include "inbound/dispatcher.hpp"

#include <optional>

#include "inbound/response_branches.hpp"
#include "inbound/session_branches.hpp"
#include "session/session.hpp"
#include "vocabulary/pdu_reader.hpp"

namespace korvane::inbound {
namespace {

// The branch for a PDU. Commands are told apart by the low octet of
// command_id; a command whose middle octets are not 0 (data_sm,
// alert_notification, ...) has no branch.
Branch BranchFor(const ReceivedPdu& pdu) {
  if (pdu.octets[5] != 0 || pdu.octets[6] != 0) return nullptr;
  switch (pdu.command_low) {
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
      return nullptr;
  }
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
  auto& queue = session.received();
  while (!queue.empty()) {
    // Off the queue before it is handled, so that a drain nested inside
    // this PDU's events neither handles it again nor loses a later one.
    const std::vector<uint8_t> octets = std::move(queue.front());
    queue.pop_front();
    std::optional<ReceivedPdu> pdu;
    session.Procedure("RPDUNotification").Step([&] {
      vocabulary::ReadHeader(octets);  // fails for fewer than 16 octets
      pdu = ReceivedPdu{.octets = octets,
                        .command_low = octets[7],
                        .command_high = octets[4],
                        .status_low = octets[11]};
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
