// The stored values behind the session's properties, with their defaults.
#pragma once

#include <cstdint>
#include <string>

namespace korvane::session {

struct SessionSettings {
  std::string server_address;
  int32_t server_port = 0;
  std::string system_id;  // also reached as UserName
  std::string password;
  std::string system_type;
  std::string receiver_address_range;  // at most kMaxAddressRangeLength characters
  int32_t protocol_id = 51;            // interface_version of the bind PDUs
  int32_t address_ton = 1;
  int32_t address_npi = 1;
  int32_t data_coding_scheme = 0;
  bool enable_debug = false;
  bool enable_trace = false;
  bool auto_unbind_on_destroy = true;
  int16_t operations_timeout = 5;  // seconds
  // Asynchronous submissions: in flight at most, and queued behind them.
  int32_t max_outstanding = 10;
  int32_t max_queued = 10000;
  // Submit PDUs per second at most, retries included (0: no cap), and how
  // often one submission is sent again after a throttle answer.
  int32_t max_submits_per_second = 0;
  int32_t throttle_retry_limit = 5;
  // Octets handed to the socket and not yet taken by the system, at most;
  // 0 or below: no cap. Far above what a healthy link ever holds.
  int32_t max_output_bytes = 8 * 1024 * 1024;
  // deliver_sm_resp / data_sm_resp after MessageReceived returns, with the
  // status the handler chose.
  bool ack_after_handler = false;
  int16_t connection_timeout = 5;  // seconds
  // Binding again on its own after a bound connection was lost, with a
  // back-off doubling from the first delay to the most, jittered.
  bool auto_reconnect = false;
  int32_t reconnect_initial_delay_ms = 1000;
  int32_t reconnect_max_delay_ms = 60000;
  // Seconds an enquire_link may go unanswered, nothing at all received,
  // before the link counts as dead; 0 = never.
  int16_t link_timeout = 0;
};

}  // namespace korvane::session
