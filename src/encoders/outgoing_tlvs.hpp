// The optional parameters of an outgoing message, collected and checked
// before the PDU is built so that its length is known and nothing is
// written for a parameter that does not fit. Values and the host's list are
// viewed, not copied: what they view must outlive the list, unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "korvane/message_object.hpp"
#include "vocabulary/pdu_writer.hpp"

namespace korvane::encoders {

class OutgoingTlvs {
 public:
  // The component's own parameters, each at most once, in the order added.
  // message_payload with the payload's octets.
  void AddMessagePayload(std::span<const uint8_t> payload);
  // callback_num: digit mode indicator (0 for a numeric text, else 1), TON
  // and NPI (0 when outside 0..255), then the number's characters.
  void AddCallbackNumber(std::string_view number, int32_t ton, int32_t npi);
  // user_message_reference as two octets, big-endian.
  void AddUserMessageReference(uint16_t reference);
  // The host's entries, written in list order after the component's own;
  // given once. A tag outside 0..65535, a TagLength other than the length
  // of the value, or a value over 65535 octets throws ComponentError; the
  // list is then not to be used.
  void AddHostTlvs(const std::vector<TLV>& tlvs);

  // Octets the parameters take in the PDU.
  std::size_t EncodedLength() const { return encoded_length_; }
  void WriteTo(vocabulary::PduWriter& writer) const;

 private:
  struct Entry {
    uint16_t tag;
    std::array<uint8_t, 3> head;  // octets that precede the viewed value
    std::size_t head_length;
    std::span<const uint8_t> value;
  };
  // Kept in place, so that encoding allocates nothing but the PDU.
  static constexpr std::size_t kOwnParameters = 3;
  void Add(const Entry& entry);

  std::array<Entry, kOwnParameters> own_{};
  std::size_t own_count_ = 0;
  const std::vector<TLV>* host_ = nullptr;
  std::size_t encoded_length_ = 0;
};

}  // namespace korvane::encoders
