#include "support/message_inspection.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "korvane/errors.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::fuzzing {
namespace {

using vocabulary::kMaxRecipients;

uint64_t Digest(uint64_t digest, std::string_view text) {
  for (const char c : text) digest = digest * 131 + static_cast<unsigned char>(c);
  return digest * 131 + text.size();
}

uint64_t Digest(uint64_t digest, const std::string& text) {
  return Digest(digest, std::string_view(text));
}

uint64_t Digest(uint64_t digest, const Variant& value) {
  digest = Digest(digest, std::string_view(value.ToText()));
  if (value.IsBytes()) digest += value.Bytes().size();
  if (value.IsInteger()) digest += static_cast<uint64_t>(value.Integer());
  return digest;
}

uint64_t Digest(uint64_t digest, const DateTime& time) {
  digest = Digest(digest, std::string_view(time.ToString()));
  return digest + (time.IsZero() ? 1 : 0);
}

template <typename Number>
requires std::is_arithmetic_v<Number> || std::is_enum_v<Number> uint64_t Digest(uint64_t digest,
                                                                                Number number) {
  return digest * 131 + static_cast<uint64_t>(number);
}

}  // namespace

void Broken(std::string_view what) {
  std::fprintf(stderr, "broken invariant: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

uint64_t InspectMessage(const MessageObject& m) {
  uint64_t d = 0;
  d = Digest(d, m.ServiceType);
  d = Digest(d, m.SourceAddress);
  d = Digest(d, m.SourceAddressTON);
  d = Digest(d, m.SourceAddressNPI);
  d = Digest(d, m.DestAddress);
  d = Digest(d, m.DestAddressTON);
  d = Digest(d, m.DestAddressNPI);
  d = Digest(d, m.MessageType);
  d = Digest(d, m.MessageMode);
  d = Digest(d, m.MessageState);
  d = Digest(d, m.Priority);
  d = Digest(d, m.ScheduledDeliveryTime);
  d = Digest(d, m.ValidityRelative);
  d = Digest(d, m.ValiditySeconds);
  d = Digest(d, m.ValidityHours);
  d = Digest(d, m.ReplaceIfPresent);
  d = Digest(d, m.DataCoding);
  d = Digest(d, m.ShortMessage);
  d = Digest(d, m.RegisteredDelivery);
  d = Digest(d, m.ProtocolID);
  d = Digest(d, m.SequenceNumber);
  d = Digest(d, m.MessageID);
  d = Digest(d, m.FinalDeliveryDate);
  d = Digest(d, m.DeliveryStatus);
  d = Digest(d, m.DeliveryErrorCode);
  d = Digest(d, m.CallbackNumber);
  d = Digest(d, m.CallbackNumberTON);
  d = Digest(d, m.CallbackNumberNPI);
  d = Digest(d, m.CancelResultCode);
  d = Digest(d, m.ShortMessageBytes);
  d = Digest(d, m.PayloadBytes);
  d = Digest(d, m.Payload);
  d = Digest(d, m.UnsuccessfulDeliveries);
  d = Digest(d, m.DefaultMsgId());
  d = Digest(d, m.UserMessageReference());
  d = Digest(d, m.ValidityPeriodString());

  if (m.DefaultMsgId() < 0 || m.DefaultMsgId() > 255) Broken("DefaultMsgId outside 0..255");
  const int reference = std::stoi(m.UserMessageReference());
  if (reference < 0 || reference > 65535) Broken("UserMessageReference outside 0..65535");

  for (const Recipient& recipient : m.Recipients) {
    d = Digest(d, recipient.DestAddressType);
    d = Digest(d, recipient.AddressTON);
    d = Digest(d, recipient.AddressNPI);
    d = Digest(d, recipient.Address);
    d = Digest(d, recipient.StatusCode);
  }
  for (const TLV& tlv : m.TLVs) {
    d = Digest(d, tlv.Tag);
    d = Digest(d, tlv.TagLength);
    d = Digest(d, tlv.TagValue);
    d = Digest(d, m.GetOptionalParamStringValue(tlv.Tag));
    d = Digest(d, m.GetOptionalParamBytesValue(tlv.Tag));
  }

  for (const std::string_view name : kMemberNames) {
    try {
      d = Digest(d, m.GetMember(std::string(name)));
    } catch (const ComponentError&) {
      Broken("GetMember refused one of its own names: " + std::string(name));
    }
  }
  return d;
}

void CheckBuiltByLibrary(const MessageObject& m) {
  if (m.Recipients.size() > kMaxRecipients) Broken("more than 254 recipients");
  for (const TLV& tlv : m.TLVs) {
    if (tlv.TagLength < 0 || static_cast<std::size_t>(tlv.TagLength) != tlv.TagValue.size())
      Broken("a TLV whose TagLength is not its value's length");
    if (tlv.Tag < 0 || tlv.Tag > 0xFFFF) Broken("a received TLV tag outside 0..65535");
  }
}

}  // namespace korvane::fuzzing
