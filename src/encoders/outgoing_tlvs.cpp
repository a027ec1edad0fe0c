#include "encoders/outgoing_tlvs.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "encoders/field_checks.hpp"
#include "korvane/errors.hpp"
#include "vocabulary/numeric_text.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::encoders {
namespace {

// "optional parameter 0x1403", naming a host TLV in a refusal.
std::string TlvName(int32_t tag) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "optional parameter 0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(tag >> shift) & 0xF];
  return text;
}

// TON and NPI of a callback number are one octet each; anything else is 0.
uint8_t OctetOrZero(int32_t value) { return value >= 0 && value <= 255 ? value : 0; }

}  // namespace

void OutgoingTlvs::Add(const Entry& entry) {
  if (own_count_ == own_.size()) throw std::logic_error("OutgoingTlvs: a parameter added twice");
  own_[own_count_++] = entry;
  encoded_length_ += vocabulary::kTlvHeaderLength + entry.head_length + entry.value.size();
}

void OutgoingTlvs::AddMessagePayload(std::span<const uint8_t> payload) {
  CheckTlvLength("message_payload", payload.size());
  Add({vocabulary::kTagMessagePayload, {}, 0, payload});
}

// The callback number is at most 15 characters, so its value always fits.
void OutgoingTlvs::AddCallbackNumber(std::string_view number, int32_t ton, int32_t npi) {
  const uint8_t digit_mode = vocabulary::IsNumericText(number) ? 0 : 1;
  Add({vocabulary::kTagCallbackNum,
       {digit_mode, OctetOrZero(ton), OctetOrZero(npi)},
       3,
       OctetsOf(number)});
}

void OutgoingTlvs::AddUserMessageReference(uint16_t reference) {
  Add({vocabulary::kTagUserMessageReference,
       {static_cast<uint8_t>(reference >> 8), static_cast<uint8_t>(reference & 0xFF), 0},
       2,
       {}});
}

void OutgoingTlvs::AddHostTlvs(const std::vector<TLV>& tlvs) {
  if (host_) throw std::logic_error("OutgoingTlvs: host parameters given twice");
  std::size_t length = 0;
  for (const TLV& tlv : tlvs) {
    if (tlv.Tag < 0 || tlv.Tag > 0xFFFF) {
      throw ComponentError(6, "Overflow: optional parameter tag " + std::to_string(tlv.Tag) +
                                  " does not fit two octets");
    }
    if (tlv.TagValue.size() > vocabulary::kMaxTlvValueLength)
      CheckTlvLength(TlvName(tlv.Tag), tlv.TagValue.size());
    if (tlv.TagLength < 0 || static_cast<std::size_t>(tlv.TagLength) != tlv.TagValue.size()) {
      throw ComponentError(5, "Invalid procedure call or argument: " + TlvName(tlv.Tag) +
                                  " has TagLength " + std::to_string(tlv.TagLength) +
                                  " but a value of " + std::to_string(tlv.TagValue.size()) +
                                  " octets");
    }
    length += vocabulary::kTlvHeaderLength + tlv.TagValue.size();
  }
  host_ = &tlvs;
  encoded_length_ += length;
}

void OutgoingTlvs::WriteTo(vocabulary::PduWriter& writer) const {
  for (const Entry& entry : std::span(own_).first(own_count_)) {
    writer.PutShort(entry.tag);
    writer.PutShort(static_cast<int32_t>(entry.head_length + entry.value.size()));
    writer.PutOctets(std::span(entry.head).first(entry.head_length));
    writer.PutOctets(entry.value);
  }
  if (!host_) return;
  for (const TLV& tlv : *host_) {
    writer.PutShort(tlv.Tag);
    writer.PutShort(static_cast<int32_t>(tlv.TagValue.size()));
    writer.PutOctets(OctetsOf(tlv.TagValue));
  }
}

}  // namespace korvane::encoders
