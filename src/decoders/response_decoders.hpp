// The decoders of the responses to the component's requests: the bodies of
// submit_sm_resp, submit_multi_resp and query_sm_resp, and the header values
// of cancel_sm_resp and generic_nack. Pure: the caller checks the status,
// updates the session and raises the events.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "korvane/errors.hpp"
#include "vocabulary/pdu_reader.hpp"

namespace korvane::decoders {

// The message_id that starts the body of submit_sm_resp, submit_multi_resp
// and query_sm_resp. Throws ComponentError 9 when it has no NUL before the
// end of the PDU.
std::string DecodeMessageId(std::span<const uint8_t> pdu);

struct UnsuccessfulSme {
  uint8_t ton = 0;
  uint8_t npi = 0;
  std::string address;
  uint32_t error_status_code = 0;
};

struct DecodedSubmitMultiResp {
  std::string message_id;
  // no_unsuccess as sent (0 when the PDU ends before it), and the entries
  // that lie wholly inside the PDU: the list ends early with the PDU.
  uint8_t no_unsuccess = 0;
  std::vector<UnsuccessfulSme> unsuccessful;
};

// Throws ComponentError 9 when the message_id runs past the PDU.
DecodedSubmitMultiResp DecodeSubmitMultiResp(std::span<const uint8_t> pdu);

struct DecodedQuerySmResp {
  std::string message_id;
  // A final_date without its NUL: nothing after the message_id is read.
  std::optional<ComponentError> fault;
  std::string final_date;  // as sent, "YYMMDDhhmmss..." or empty
  // The PDU's last two octets, wherever final_date ended.
  uint8_t message_state = 0;
  uint8_t error_code = 0;
};

// Throws ComponentError 9 when the message_id runs past the PDU.
DecodedQuerySmResp DecodeQuerySmResp(std::span<const uint8_t> pdu);

// A header-only response's values: cancel_sm_resp and generic_nack.
struct DecodedHeaderResponse {
  uint32_t command_status = 0;
  // The sequence_number as a signed value; 0 when it is 2^31 or more, which
  // does not fit, and then `fault` holds ComponentError 6.
  int32_t sequence_number = 0;
  std::optional<ComponentError> fault;
};

DecodedHeaderResponse DecodeHeaderResponse(const vocabulary::PduHeader& header);

}  // namespace korvane::decoders
