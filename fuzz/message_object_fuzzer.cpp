// MessageObject driven by an arbitrary sequence of operations (every
// property set to arbitrary values, the TLV list and the recipient list
// edited, by-name access, conversions), then encoded by each request
// encoder, which must either refuse with ComponentError or build a PDU
// whose header matches what it built. A deliver_sm it built must decode
// again without a fault. ComponentError is an expected refusal; any other
// exception escapes and is a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decoders/deliver_sm_decoder.hpp"
#include "encoders/deliver_encoder.hpp"
#include "encoders/query_cancel_encoders.hpp"
#include "encoders/submit_encoder.hpp"
#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"
#include "message/message_conversion.hpp"
#include "support/message_inspection.hpp"
#include "vocabulary/time_strings.hpp"

namespace {

using korvane::DateTime;
using korvane::MessageObject;
using korvane::Variant;
using korvane::fuzzing::Broken;

constexpr std::size_t kMaxText = 300;

// What the reads add up to goes here, so that none of them is optimised away.
volatile uint64_t digest_sink = 0;

template <typename Enum>
Enum AnyEnum(FuzzedDataProvider& in) {
  return static_cast<Enum>(in.ConsumeIntegral<int32_t>());
}

std::string AnyText(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(kMaxText); }

Variant AnyVariant(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return Variant();
    case 1:
      return Variant(AnyText(in));
    case 2:
      return Variant(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, kMaxText)));
    default:
      return Variant(in.ConsumeIntegral<int64_t>());
  }
}

DateTime AnyDate(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) {  // mostly plausible dates, sometimes anything
    return DateTime(in.ConsumeIntegralInRange(1990, 2099), in.ConsumeIntegralInRange(0, 13),
                    in.ConsumeIntegralInRange(0, 32), in.ConsumeIntegralInRange(-1, 24),
                    in.ConsumeIntegralInRange(-1, 60), in.ConsumeIntegralInRange(-1, 60));
  }
  return DateTime(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(),
                  in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
}

std::string AnyMemberName(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 15) == 0) return AnyText(in);
  const auto& names = korvane::fuzzing::kMemberNames;
  return std::string(names[in.ConsumeIntegralInRange<std::size_t>(0, std::size(names) - 1)]);
}

// A tag that often repeats one already used, so lookups find something.
int32_t AnyTag(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange(0x1400, 0x1403)
                          : in.ConsumeIntegral<int32_t>();
}

uint64_t Apply(FuzzedDataProvider& in, MessageObject& m) {
  uint64_t digest = 0;
  switch (in.ConsumeIntegralInRange(0, 34)) {
    case 0:
      m.ServiceType = AnyText(in);
      break;
    case 1:
      m.SourceAddress = AnyText(in);
      break;
    case 2:
      m.DestAddress = AnyText(in);
      break;
    case 3:
      m.MessageID = AnyText(in);
      break;
    case 4:
      m.CallbackNumber = AnyText(in);
      break;
    case 5:
      m.SourceAddressTON = AnyEnum<korvane::AddressTypeOfNumbers>(in);
      m.SourceAddressNPI = AnyEnum<korvane::AddressNumberPlanIndicators>(in);
      m.DestAddressTON = AnyEnum<korvane::AddressTypeOfNumbers>(in);
      m.DestAddressNPI = AnyEnum<korvane::AddressNumberPlanIndicators>(in);
      break;
    case 6:
      m.MessageType = AnyEnum<korvane::MessageTypes>(in);
      m.MessageMode = AnyEnum<korvane::MessagingModes>(in);
      m.Priority = AnyEnum<korvane::PriorityFlags>(in);
      break;
    case 7:
      m.DataCoding = AnyEnum<korvane::SMSDataCodingSchemes>(in);
      m.RegisteredDelivery = AnyEnum<korvane::RegisteredDeliveryTypes>(in);
      m.ProtocolID = in.ConsumeIntegral<int16_t>();
      break;
    case 8:
      m.CallbackNumberTON = AnyEnum<korvane::AddressTypeOfNumbers>(in);
      m.CallbackNumberNPI = AnyEnum<korvane::AddressNumberPlanIndicators>(in);
      break;
    case 9:
      m.ScheduledDeliveryTime = AnyDate(in);
      break;
    case 10:
      m.ValidityRelative = in.ConsumeBool();
      m.ValiditySeconds = in.ConsumeIntegral<int16_t>();
      m.ValidityHours = in.ConsumeIntegral<int16_t>();
      break;
    case 11:
      m.ValidityPeriodString(AnyText(in));
      break;
    case 12:
      m.ReplaceIfPresent = in.ConsumeBool();
      break;
    case 13:
      m.ShortMessage = AnyVariant(in);
      break;
    case 14:
      m.Payload = AnyVariant(in);
      break;
    case 15:
      m.DefaultMsgId(in.ConsumeIntegral<int16_t>());
      break;
    case 16:  // mostly numbers, in and out of range, so the reference reaches the PDU
      m.UserMessageReference(in.ConsumeBool() ? std::to_string(in.ConsumeIntegralInRange(-9, 70000))
                                              : AnyText(in));
      break;
    case 17: {
      const auto ton = AnyEnum<korvane::AddressTypeOfNumbers>(in);
      const auto npi = AnyEnum<korvane::AddressNumberPlanIndicators>(in);
      // Runs of additions reach the 254-recipient limit.
      for (int n = in.ConsumeIntegralInRange(1, 64); n > 0; --n)
        m.AddRecipient(ton, npi, AnyText(in));
      break;
    }
    case 18:
      m.AddDistributionList(AnyText(in));
      break;
    case 19:
      m.ClearRecipients();
      break;
    case 20:
      m.AddOptionalParamString(AnyTag(in), AnyText(in));
      break;
    case 21:
      m.AddOptionalParamByte(AnyTag(in), AnyVariant(in));
      break;
    case 22:
      m.ClearTLVs();
      break;
    case 23:
      digest += m.GetOptionalParamStringValue(AnyTag(in)).size();
      break;
    case 24:
      digest += m.GetOptionalParamBytesValue(AnyTag(in)).ToText().size();
      break;
    case 25:
      digest += m.UpdateOptionalParamString(AnyTag(in), AnyText(in));
      break;
    case 26:
      digest += m.UpdateOptionalParamBytes(AnyTag(in), AnyVariant(in));
      break;
    case 27:
      digest += m.RemoveTLV(AnyTag(in));
      break;
    case 28: {  // the host fills the public lists directly, with anything
      m.TLVs.push_back({AnyTag(in), in.ConsumeIntegral<int32_t>(), AnyText(in)});
      break;
    }
    case 29:
      for (int n = in.ConsumeIntegralInRange(1, 300); n > 0; --n) {
        m.Recipients.push_back({AnyEnum<korvane::MultiDestAddressTypes>(in),
                                AnyEnum<korvane::AddressTypeOfNumbers>(in),
                                AnyEnum<korvane::AddressNumberPlanIndicators>(in), AnyText(in),
                                in.ConsumeIntegral<int16_t>()});
      }
      break;
    case 30:
      digest += m.GetMember(AnyMemberName(in)).ToText().size();
      break;
    case 31: {
      const std::string name = AnyMemberName(in);
      m.PutMember(name, AnyVariant(in));
      break;
    }
    case 32: {  // the conversions a host makes on the body and the dates
      digest += m.ShortMessage.ToText().size() + m.Payload.ToText().size();
      if (m.ShortMessage.IsBytes()) digest += m.ShortMessage.Bytes().size();
      if (m.Payload.IsText()) digest += m.Payload.Text().size();
      if (m.ShortMessage.IsInteger()) digest += static_cast<uint64_t>(m.ShortMessage.Integer());
      digest += m.ScheduledDeliveryTime.AddSeconds(in.ConsumeIntegral<int64_t>()).ToString().size();
      break;
    }
    case 33: {  // the conversion SendMessageAsp makes of a late-bound object
      const MessageObject converted = korvane::message::MessageFromMembers(m);
      digest += korvane::fuzzing::InspectMessage(converted);
      break;
    }
    default: {
      const MessageObject copy = m;  // a value type: copies stay independent
      m = copy;
      break;
    }
  }
  return digest;
}

uint32_t BigEndian32(const std::vector<uint8_t>& pdu, std::size_t at) {
  return uint32_t{pdu[at]} << 24 | uint32_t{pdu[at + 1]} << 16 | uint32_t{pdu[at + 2]} << 8 |
         pdu[at + 3];
}

// The header of a PDU an encoder built: its own length, the command, the
// sequence number it was given.
void CheckBuilt(const std::vector<uint8_t>& pdu, uint32_t command_id, int32_t sequence) {
  if (pdu.size() < 16) Broken("an encoded PDU shorter than its header");
  if (BigEndian32(pdu, 0) != pdu.size()) Broken("command_length is not the PDU's length");
  if (BigEndian32(pdu, 4) != command_id) Broken("an encoded PDU with the wrong command_id");
  if (BigEndian32(pdu, 12) != static_cast<uint32_t>(sequence)) Broken("wrong sequence_number");
}

template <typename Encode>
void Refuse(Encode&& encode) {
  try {
    encode();
  } catch (const korvane::ComponentError&) {
  }
}

void EncodeAll(FuzzedDataProvider& in, const MessageObject& m) {
  const int32_t sequence = in.ConsumeIntegralInRange<int32_t>(1, 0x7FFFFFFF);
  const DateTime now(2024, 3, 15, 12, 0, 0);
  const bool force_no_payload = in.ConsumeBool();
  const int32_t protocol_id = in.ConsumeBool() ? 0x34 : in.ConsumeIntegral<int32_t>();
  // The suffix a session derives from the local zone's bias, when it is one
  // the session would accept.
  std::string suffix = korvane::vocabulary::TimeZoneSuffixOf(in.ConsumeIntegral<int32_t>());
  if (!korvane::vocabulary::IsAcceptableTimeZoneSuffix(suffix)) suffix = "04+";
  for (const bool multi : {false, true}) {
    Refuse([&] {
      const korvane::encoders::SubmitContext context{multi, protocol_id, force_no_payload, now,
                                                     suffix};
      CheckBuilt(korvane::encoders::EncodeSubmit(m, context, sequence), multi ? 0x21 : 0x04,
                 sequence);
    });
  }
  Refuse([&] {
    const korvane::encoders::DeliverContext context{protocol_id, force_no_payload, now, suffix};
    const std::vector<uint8_t> pdu = korvane::encoders::EncodeDeliver(m, context, sequence);
    CheckBuilt(pdu, 0x05, sequence);
    const korvane::decoders::DecodedDeliverSm decoded = korvane::decoders::DecodeDeliverSm(pdu);
    if (!decoded.faults.empty() || !decoded.ShortMessageComplete())
      Broken("a deliver_sm the encoder built does not decode");
    korvane::fuzzing::InspectMessage(decoded.message);
  });
  Refuse([&] { CheckBuilt(korvane::encoders::EncodeQuery(m, sequence), 0x03, sequence); });
  Refuse([&] { CheckBuilt(korvane::encoders::EncodeCancel(m, sequence), 0x08, sequence); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  MessageObject message;
  uint64_t digest = 0;
  for (int operations = 0; in.remaining_bytes() > 0 && operations < 64; ++operations) {
    try {
      digest += Apply(in, message);
    } catch (const korvane::ComponentError&) {
    }
  }
  digest += korvane::fuzzing::InspectMessage(message);
  EncodeAll(in, message);
  digest_sink = digest;
  return 0;
}
