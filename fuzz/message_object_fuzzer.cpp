// MessageObject driven by an arbitrary sequence of operations (members put
// and read by name with arbitrary values, dates, the TLV and recipient
// lists edited or filled directly, conversions), then encoded by each
// request encoder, which must either refuse with ComponentError or build a
// PDU; a deliver_sm it built must decode again without a fault. Any other
// exception escapes and is a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "decoders/deliver_sm_decoder.hpp"
#include "encoders/deliver_encoder.hpp"
#include "encoders/query_cancel_encoders.hpp"
#include "encoders/submit_encoder.hpp"
#include "korvane/errors.hpp"
#include "message/message_conversion.hpp"
#include "support/fuzz_session.hpp"
#include "vocabulary/time_strings.hpp"

namespace {

using namespace korvane;

volatile uint64_t digest_sink = 0;  // what the reads add up to, so none is optimised away

std::string AnyText(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(300); }

// Mostly a number in the ranges of the members, sometimes anything.
Variant AnyVariant(FuzzedDataProvider& in) {
  const int kind = in.ConsumeIntegralInRange(0, 4);
  if (kind == 0) return Variant();
  if (kind == 1) return Variant(AnyText(in));
  if (kind == 2) return Variant(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 300)));
  return Variant(kind == 3 ? in.ConsumeIntegralInRange<int64_t>(-9, 70000)
                           : in.ConsumeIntegral<int64_t>());
}

uint64_t Apply(FuzzedDataProvider& in, MessageObject& m) {
  static const std::vector<std::string> names = fuzzing::MemberNames();
  const auto name = [&] {
    if (in.ConsumeIntegralInRange(0, 15) == 0) return AnyText(in);
    return names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
  };
  const auto number = [&in] { return in.ConsumeIntegral<int32_t>(); };
  // Mostly within [low, high], sometimes anything.
  const auto around = [&](int low, int high) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange(low, high) : number();
  };
  // A tag that often repeats one already used, so lookups find something.
  const auto tag = [&] { return around(0x1400, 0x1403); };
  const std::function<uint64_t()> operations[] = {
      [&] { return m.PutMember(name(), AnyVariant(in)), 0u; },
      [&] { return m.GetMember(name()).ToText().size(); },
      [&] {
        m.ScheduledDeliveryTime = DateTime(around(1990, 2099), around(0, 13), around(0, 32),
                                           around(-1, 24), around(-1, 60), around(-1, 60));
        return m.ScheduledDeliveryTime.AddSeconds(in.ConsumeIntegral<int64_t>()).ToString().size();
      },
      [&] {  // runs of additions reach the 254-recipient limit
        const auto ton = static_cast<AddressTypeOfNumbers>(number());
        const auto npi = static_cast<AddressNumberPlanIndicators>(number());
        for (int n = in.ConsumeIntegralInRange(1, 64); n > 0; --n)
          m.AddRecipient(ton, npi, AnyText(in));
        return m.AddDistributionList(AnyText(in)), 0u;
      },
      [&] { return m.AddOptionalParamString(tag(), AnyText(in)), 0u; },
      [&] { return m.AddOptionalParamByte(tag(), AnyVariant(in)), 0u; },
      [&] {
        const int32_t t = tag();
        return uint64_t{m.UpdateOptionalParamString(t, AnyText(in))} +
               m.UpdateOptionalParamBytes(t, AnyVariant(in));
      },
      [&] { return uint64_t{m.RemoveTLV(tag())}; },
      [&] {  // the host fills the public lists directly, with anything, or clears them
        if (in.ConsumeBool()) return m.ClearTLVs(), m.ClearRecipients(), 0u;
        m.TLVs.push_back({tag(), number(), AnyText(in)});
        for (int n = in.ConsumeIntegralInRange(0, 300); n > 0; --n)
          m.Recipients.push_back({static_cast<MultiDestAddressTypes>(number()),
                                  static_cast<AddressTypeOfNumbers>(number()),
                                  static_cast<AddressNumberPlanIndicators>(number()), AnyText(in),
                                  in.ConsumeIntegral<int16_t>()});
        return 0u;
      },
      // The conversion SendMessageAsp makes of a late-bound object.
      [&] { return fuzzing::InspectMessage(message::MessageFromMembers(m)); },
      [&] { return m = MessageObject(m), 0u; }};  // a value type: a copy stands alone
  return operations[in.ConsumeIntegralInRange<std::size_t>(0, std::size(operations) - 1)]();
}

// Runs `encode`; a deliver_sm it built (`deliver`) decodes again.
void Encode(const std::function<std::vector<uint8_t>()>& encode, bool deliver = false) {
  try {
    const std::vector<uint8_t> pdu = encode();
    if (!deliver) return;
    const decoders::DecodedDeliverSm decoded = decoders::DecodeDeliverSm(pdu);
    if (!decoded.faults.empty() || !decoded.ShortMessageComplete()) std::abort();
    digest_sink = fuzzing::InspectMessage(decoded.message);
  } catch (const ComponentError&) {
  }
}

void EncodeAll(FuzzedDataProvider& in, const MessageObject& m) {
  using namespace encoders;
  const int32_t sequence = in.ConsumeIntegralInRange<int32_t>(1, 0x7FFFFFFF);
  const DateTime now(2024, 3, 15, 12, 0, 0);
  const bool no_payload = in.ConsumeBool();
  const int32_t protocol_id = in.ConsumeBool() ? 0x34 : in.ConsumeIntegral<int32_t>();
  // The suffix a session derives from the local zone's bias, when it is one
  // the session would accept.
  std::string suffix = vocabulary::TimeZoneSuffixOf(in.ConsumeIntegral<int32_t>());
  if (!vocabulary::IsAcceptableTimeZoneSuffix(suffix)) suffix = "04+";
  for (const bool multi : {false, true})
    Encode([&] {
      return EncodeSubmit(m, {multi, protocol_id, no_payload, now, suffix}, sequence);
    });
  Encode([&] { return EncodeDeliver(m, {protocol_id, no_payload, now, suffix}, sequence); }, true);
  Encode([&] { return EncodeQuery(m, sequence); });
  Encode([&] { return EncodeCancel(m, sequence); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  MessageObject message;
  uint64_t digest = 0;
  for (int operations = 0; in.remaining_bytes() > 0 && operations < 64; ++operations) {
    try {
      digest += Apply(in, message);
    } catch (const ComponentError&) {
    }
  }
  digest_sink = digest + fuzzing::InspectMessage(message);
  EncodeAll(in, message);
  return 0;
}
