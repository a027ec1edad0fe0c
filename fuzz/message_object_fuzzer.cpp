// MessageObject driven by an arbitrary sequence of operations (members put
// and read by name with arbitrary values, dates, the TLV and recipient
// lists edited or filled directly, conversions), then encoded by each
// request encoder, which must either refuse with ComponentError or build a
// PDU whose header matches what it built. A deliver_sm it built must decode
// again without a fault. ComponentError is an expected refusal; any other
// exception escapes and is a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "decoders/deliver_sm_decoder.hpp"
#include "encoders/deliver_encoder.hpp"
#include "encoders/query_cancel_encoders.hpp"
#include "encoders/submit_encoder.hpp"
#include "korvane/errors.hpp"
#include "message/message_conversion.hpp"
#include "support/fuzz_session.hpp"
#include "vocabulary/octets.hpp"
#include "vocabulary/time_strings.hpp"

namespace {

using korvane::DateTime;
using korvane::MessageObject;
using korvane::Variant;
using korvane::fuzzing::Broken;

constexpr std::size_t kMaxText = 300;
volatile uint64_t digest_sink = 0;  // what the reads add up to, so none is optimised away

std::string AnyText(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(kMaxText); }

Variant AnyVariant(FuzzedDataProvider& in) {
  const int kind = in.ConsumeIntegralInRange(0, 4);
  if (kind == 0) return Variant();
  if (kind == 1) return Variant(AnyText(in));
  if (kind == 2) return Variant(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 300)));
  // Mostly numbers in the ranges of the members, sometimes anything.
  return Variant(kind == 3 ? in.ConsumeIntegralInRange<int64_t>(-9, 70000)
                           : in.ConsumeIntegral<int64_t>());
}

std::string AnyMemberName(FuzzedDataProvider& in) {
  static const std::vector<std::string> names = korvane::fuzzing::MemberNames();
  if (in.ConsumeIntegralInRange(0, 15) == 0) return AnyText(in);
  return names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
}

// A tag that often repeats one already used, so lookups find something.
int32_t AnyTag(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange(0x1400, 0x1403)
                          : in.ConsumeIntegral<int32_t>();
}

uint64_t Apply(FuzzedDataProvider& in, MessageObject& m) {
  const auto number = [&in] { return in.ConsumeIntegral<int32_t>(); };
  const std::function<uint64_t()> operations[] = {
      [&] { return m.PutMember(AnyMemberName(in), AnyVariant(in)), 0u; },
      [&] { return m.GetMember(AnyMemberName(in)).ToText().size(); },
      [&] {  // mostly plausible dates, sometimes anything
        m.ScheduledDeliveryTime =
            in.ConsumeBool()
                ? DateTime(in.ConsumeIntegralInRange(1990, 2099), in.ConsumeIntegralInRange(0, 13),
                           in.ConsumeIntegralInRange(0, 32), in.ConsumeIntegralInRange(-1, 24),
                           in.ConsumeIntegralInRange(-1, 60), in.ConsumeIntegralInRange(-1, 60))
                : DateTime(number(), number(), number(), number(), number(), number());
        return m.ScheduledDeliveryTime.AddSeconds(in.ConsumeIntegral<int64_t>()).ToString().size();
      },
      [&] {  // runs of additions reach the 254-recipient limit
        const auto ton = static_cast<korvane::AddressTypeOfNumbers>(number());
        const auto npi = static_cast<korvane::AddressNumberPlanIndicators>(number());
        for (int n = in.ConsumeIntegralInRange(1, 64); n > 0; --n)
          m.AddRecipient(ton, npi, AnyText(in));
        m.AddDistributionList(AnyText(in));
        return 0u;
      },
      [&] { return m.AddOptionalParamString(AnyTag(in), AnyText(in)), 0u; },
      [&] { return m.AddOptionalParamByte(AnyTag(in), AnyVariant(in)), 0u; },
      [&] {
        const int32_t tag = AnyTag(in);
        return m.GetOptionalParamStringValue(tag).size() +
               m.GetOptionalParamBytesValue(tag).ToText().size();
      },
      [&] {
        const int32_t tag = AnyTag(in);
        return uint64_t{m.UpdateOptionalParamString(tag, AnyText(in))} +
               m.UpdateOptionalParamBytes(tag, AnyVariant(in));
      },
      [&] { return uint64_t{m.RemoveTLV(AnyTag(in))}; },
      [&] {  // the host fills the public lists directly, with anything, or clears them
        if (in.ConsumeBool()) return m.ClearTLVs(), m.ClearRecipients(), 0u;
        m.TLVs.push_back({AnyTag(in), number(), AnyText(in)});
        for (int n = in.ConsumeIntegralInRange(0, 300); n > 0; --n) {
          m.Recipients.push_back({static_cast<korvane::MultiDestAddressTypes>(number()),
                                  static_cast<korvane::AddressTypeOfNumbers>(number()),
                                  static_cast<korvane::AddressNumberPlanIndicators>(number()),
                                  AnyText(in), in.ConsumeIntegral<int16_t>()});
        }
        return 0u;
      },
      // The conversion SendMessageAsp makes of a late-bound object.
      [&] { return korvane::fuzzing::InspectMessage(korvane::message::MessageFromMembers(m)); },
      [&] { return m = MessageObject(m), 0u; }};  // a value type: a copy stands alone
  return operations[in.ConsumeIntegralInRange<std::size_t>(0, std::size(operations) - 1)]();
}

// Runs `encode`; a PDU it built has its own length, the command, the sequence number.
void CheckBuilt(const std::function<std::vector<uint8_t>()>& encode, uint32_t command_id,
                int32_t sequence) {
  try {
    const std::vector<uint8_t> pdu = encode();
    if (pdu.size() < 16) Broken("an encoded PDU shorter than its header");
    const auto field = [&](std::size_t at) {
      return korvane::vocabulary::BigEndian32(std::span<const uint8_t, 4>(pdu.data() + at, 4));
    };
    if (field(0) != pdu.size()) Broken("command_length is not the PDU's length");
    if (field(4) != command_id) Broken("an encoded PDU with the wrong command_id");
    if (field(12) != static_cast<uint32_t>(sequence)) Broken("wrong sequence_number");
    if (command_id != 5) return;
    const korvane::decoders::DecodedDeliverSm decoded = korvane::decoders::DecodeDeliverSm(pdu);
    if (!decoded.faults.empty() || !decoded.ShortMessageComplete())
      Broken("a deliver_sm the encoder built does not decode");
    korvane::fuzzing::InspectMessage(decoded.message, true);
  } catch (const korvane::ComponentError&) {
  }
}

void EncodeAll(FuzzedDataProvider& in, const MessageObject& m) {
  using namespace korvane::encoders;
  const int32_t sequence = in.ConsumeIntegralInRange<int32_t>(1, 0x7FFFFFFF);
  const DateTime now(2024, 3, 15, 12, 0, 0);
  const bool no_payload = in.ConsumeBool();
  const int32_t protocol_id = in.ConsumeBool() ? 0x34 : in.ConsumeIntegral<int32_t>();
  // The suffix a session derives from the local zone's bias, when it is one
  // the session would accept.
  std::string suffix = korvane::vocabulary::TimeZoneSuffixOf(in.ConsumeIntegral<int32_t>());
  if (!korvane::vocabulary::IsAcceptableTimeZoneSuffix(suffix)) suffix = "04+";
  for (const bool multi : {false, true}) {
    const SubmitContext context{multi, protocol_id, no_payload, now, suffix};
    CheckBuilt([&] { return EncodeSubmit(m, context, sequence); }, multi ? 0x21 : 0x04, sequence);
  }
  const DeliverContext context{protocol_id, no_payload, now, suffix};
  CheckBuilt([&] { return EncodeDeliver(m, context, sequence); }, 0x05, sequence);
  CheckBuilt([&] { return EncodeQuery(m, sequence); }, 0x03, sequence);
  CheckBuilt([&] { return EncodeCancel(m, sequence); }, 0x08, sequence);
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
  digest_sink = digest + korvane::fuzzing::InspectMessage(message);
  EncodeAll(in, message);
  return 0;
}
