#include "vocabulary/protocol.hpp"

#include <cstdio>
#include <string_view>
#include <utility>

namespace korvane::vocabulary {

std::string CommandName(uint32_t command_id) {
  // Requests, and generic_nack; a response is its request's name + "_resp".
  static constexpr std::pair<uint32_t, std::string_view> kNames[] = {
      {kGenericNack, "generic_nack"},
      {kBindReceiver, "bind_receiver"},
      {kBindTransmitter, "bind_transmitter"},
      {kQuerySm, "query_sm"},
      {kSubmitSm, "submit_sm"},
      {kDeliverSm, "deliver_sm"},
      {kUnbind, "unbind"},
      {kReplaceSm, "replace_sm"},
      {kCancelSm, "cancel_sm"},
      {kBindTransceiver, "bind_transceiver"},
      {kOutbind, "outbind"},
      {kEnquireLink, "enquire_link"},
      {kSubmitMulti, "submit_multi"},
      {kAlertNotification, "alert_notification"},
      {kDataSm, "data_sm"}};
  for (const auto& [id, name] : kNames) {
    if (id == command_id) return std::string(name);
    if ((id | kResponseBit) == command_id && id != kGenericNack) {
      return std::string(name) + "_resp";
    }
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", command_id);
  return text;
}

}  // namespace korvane::vocabulary
