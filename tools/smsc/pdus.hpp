// The simulator's PDU codec: the request bodies it reads, the PDUs it writes,
// and one readable line per PDU for its log. Pure functions over octet
// vectors, built on the library's bounds-checked reader and writer: a body
// that runs past the end of its PDU throws ComponentError 9 from the parse
// functions, and nothing here reads outside the octets given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/protocol.hpp"

namespace korvane::smsc {

using Octets = std::vector<uint8_t>;

// Command status values the simulator answers with.
inline constexpr uint32_t kStatusOk = 0x00;
inline constexpr uint32_t kStatusInvalidLength = 0x02;     // ESME_RINVCMDLEN
inline constexpr uint32_t kStatusInvalidCommand = 0x03;    // ESME_RINVCMDID
inline constexpr uint32_t kStatusInvalidBindState = 0x04;  // ESME_RINVBNDSTS
inline constexpr uint32_t kStatusAlreadyBound = 0x05;      // ESME_RALYBND
inline constexpr uint32_t kStatusInvalidPassword = 0x0E;   // ESME_RINVPASWD
inline constexpr uint32_t kStatusInvalidSystemId = 0x0F;   // ESME_RINVSYSID
inline constexpr uint32_t kStatusCancelFailed = 0x11;      // ESME_RCANCELFAIL
inline constexpr uint32_t kStatusQueryFailed = 0x67;       // ESME_RQUERYFAIL

// command_length values a connection accepts; anything else closes it.
using vocabulary::kMaxCommandLength;
using vocabulary::kMinCommandLength;

struct Address {
  uint8_t ton = 0;
  uint8_t npi = 0;
  std::string address;
};

struct Tlv {
  uint16_t tag = 0;
  std::string value;  // the octets, one character each
};

struct BindRequest {
  std::string system_id;
  std::string password;
  std::string system_type;
  uint8_t interface_version = 0;
  Address range;
};

// submit_sm, deliver_sm and submit_multi: the fields they share. submit_sm
// and deliver_sm have exactly one entry in `dests` and none in `lists`.
struct Submission {
  std::string service_type;
  Address source;
  std::vector<Address> dests;
  std::vector<std::string> lists;  // distribution list names (submit_multi)
  uint8_t esm_class = 0;
  uint8_t protocol_id = 0;
  uint8_t priority = 0;
  std::string schedule_delivery_time;
  std::string validity_period;
  uint8_t registered_delivery = 0;
  uint8_t replace_if_present = 0;
  uint8_t data_coding = 0;
  uint8_t default_msg_id = 0;
  std::string short_message;
  std::vector<Tlv> tlvs;

  // short_message, or the message_payload parameter when that is empty.
  std::string Body() const;
  // The value of the first parameter with the tag, or nothing.
  const Tlv* Find(uint16_t tag) const;
};

struct QueryRequest {
  std::string message_id;
  Address source;
};

struct CancelRequest {
  std::string service_type;
  std::string message_id;
  Address source;
  Address dest;
};

// Body parsers; each reads the whole PDU, header included, and throws
// ComponentError 9 when a field runs past its end.
BindRequest ParseBind(const Octets& pdu);
Submission ParseSubmitSm(const Octets& pdu);  // also deliver_sm
Submission ParseSubmitMulti(const Octets& pdu);
QueryRequest ParseQuery(const Octets& pdu);
CancelRequest ParseCancel(const Octets& pdu);

// PDUs the simulator sends. A response with a non-zero status has no body.
Octets HeaderOnly(uint32_t command_id, uint32_t status, uint32_t sequence);
Octets BindResp(uint32_t command_id, uint32_t status, uint32_t sequence,
                std::string_view system_id);
// submit_sm_resp or deliver_sm_resp: the header, then message_id.
Octets MessageIdResp(uint32_t command_id, uint32_t sequence, std::string_view message_id);
Octets SubmitMultiResp(uint32_t sequence, std::string_view message_id);
Octets QueryResp(uint32_t sequence, std::string_view message_id, std::string_view final_date,
                 uint8_t message_state, uint8_t error_code);
// A deliver_sm carrying `message` (exactly one destination).
Octets DeliverSm(uint32_t sequence, const Submission& message);

// "submit_sm" for 0x00000004, "0x00000123" for an id it does not know.
std::string CommandName(uint32_t command_id);
// One line: name, sequence, a status other than 0, and the key fields of
// the body ("submit_sm seq=4 from=1:1:447 to=0:0:1234 reg=1 text=\"Hi\"").
// A body that cannot be read ends the line with "(malformed)".
std::string Describe(const Octets& pdu);
// Printable ASCII as it is, other octets as \xNN.
std::string Printable(std::string_view text);
// "00 00 00 10 80 00 00 15 ...".
std::string HexDump(const Octets& pdu);

}  // namespace korvane::smsc
