// MessageObject: the validated properties and the recipient list.
#include "korvane/message_object.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "korvane/error_codes.hpp"
#include "message/message_trap.hpp"
#include "vocabulary/numeric_text.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane {
namespace {

using vocabulary::kMaxRecipientAddressLength;
using vocabulary::kMaxRecipients;
constexpr int32_t kMaxUserMessageReference = 65535;

// Appends `recipient` (its address cut to 21 characters) and clears the
// single destination, so that the message goes to the recipient list.
void AppendRecipient(MessageObject& message, Recipient recipient) {
  if (message.Recipients.size() >= kMaxRecipients) {
    throw ComponentError(
        static_cast<int32_t>(ErrorCode::TooManyRecipients),
        "Maximum number of recipients allowed is " + std::to_string(kMaxRecipients) + ".");
  }
  message.DestAddress.clear();
  message.DestAddressTON = AddressTypeOfNumbers::tonUnknown;
  message.DestAddressNPI = AddressNumberPlanIndicators::npiUnknown;
  recipient.Address.resize(std::min(recipient.Address.size(), kMaxRecipientAddressLength));
  message.Recipients.push_back(std::move(recipient));
}

}  // namespace

int16_t MessageObject::DefaultMsgId() const {
  return message::RunTrappedValue<int16_t>("DefaultMsgId[Property Get]",
                                           [&] { return default_msg_id_; });
}

void MessageObject::DefaultMsgId(int16_t value) {
  message::RunTrapped("DefaultMsgId[Property Let]",
                      [&] { default_msg_id_ = value >= 0 && value <= 255 ? value : 0; });
}

std::string MessageObject::UserMessageReference() const {
  return message::RunTrappedValue<std::string>("UserMessageReference[Property Get]", [&] {
    return std::to_string(user_message_reference_);
  });
}

void MessageObject::UserMessageReference(const std::string& value) {
  message::RunTrapped("UserMessageReference[Property Let]", [&] {
    // The platform's integer conversion rounds half to even; out-of-range
    // numbers of any size store 0 instead of overflowing.
    const std::optional<double> number = vocabulary::NumericValue(value);
    const double rounded = number ? std::nearbyint(*number) : -1;
    user_message_reference_ =
        rounded >= 0 && rounded <= kMaxUserMessageReference ? static_cast<int32_t>(rounded) : 0;
  });
}

std::string MessageObject::ValidityPeriodString() const { return validity_period_string_; }

void MessageObject::ValidityPeriodString(const std::string& value) {
  validity_period_string_ = value;
}

void MessageObject::AddRecipient(AddressTypeOfNumbers AddressTON,
                                 AddressNumberPlanIndicators AddressNPI,
                                 const std::string& Address) {
  message::RunTrapped("AddRecipient", [&] {
    AppendRecipient(*this,
                    Recipient{MultiDestAddressTypes::SME, AddressTON, AddressNPI, Address, 0});
  });
}

void MessageObject::AddDistributionList(const std::string& DistributionListName) {
  message::RunTrapped("AddDistributionList", [&] {
    AppendRecipient(
        *this, Recipient{MultiDestAddressTypes::DistributionList, AddressTypeOfNumbers::tonUnknown,
                         AddressNumberPlanIndicators::npiUnknown, DistributionListName, 0});
  });
}

void MessageObject::ClearRecipients() {
  message::RunTrapped("ClearRecipients", [&] { Recipients.clear(); });
}

}  // namespace korvane
