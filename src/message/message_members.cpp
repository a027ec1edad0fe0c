// MessageObject's by-name member access (LateBound): one table maps each
// member's exact name to its reader and writer. Texts travel as text,
// numbers, enumerations and Booleans (1 / 0) as integers, the body variants
// as they are; the two list counts are read-only; dates are not reachable.
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"
#include "vocabulary/numeric_text.hpp"

namespace korvane {
namespace {

[[noreturn]] void ThrowNotSupported() {
  throw ComponentError(438, "Object doesn't support this property or method");
}

// The value of a numeric text; nothing for any other variant.
std::optional<double> NumericText(const Variant& value) {
  return value.IsText() ? vocabulary::NumericValue(value.Text()) : std::nullopt;
}

// An integer value, or a numeric text rounded half to even as the platform's
// integer conversion does; Overflow when it does not fit T.
template <typename T>
T ToInteger(const Variant& value) {
  // Every limit of a type of 32 bits or less is exact as a double.
  static_assert(sizeof(T) <= sizeof(int32_t));
  using Limits = std::numeric_limits<T>;
  if (value.IsInteger()) {
    const int64_t number = value.Integer();
    if (number < Limits::min() || number > Limits::max()) throw ComponentError(6, "Overflow");
    return static_cast<T>(number);
  }
  const std::optional<double> number = NumericText(value);
  if (!number) throw ComponentError(13, "Type mismatch");
  const double rounded = std::nearbyint(*number);
  if (rounded < Limits::min() || rounded > Limits::max()) throw ComponentError(6, "Overflow");
  return static_cast<T>(rounded);
}

// Any non-zero number is True, as the platform's Boolean conversion has it.
bool ToBoolean(const Variant& value) {
  if (value.IsInteger()) return value.Integer() != 0;
  const std::optional<double> number = NumericText(value);
  if (!number) throw ComponentError(13, "Type mismatch");
  return *number != 0;
}

template <typename T>
Variant ToVariant(const T& field) {
  if constexpr (std::is_enum_v<T>) {
    return Variant(static_cast<std::underlying_type_t<T>>(field));
  } else {
    return Variant(field);
  }
}

template <typename T>
T FromVariant(const Variant& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    return value.ToText();
  } else if constexpr (std::is_same_v<T, Variant>) {
    return value;
  } else if constexpr (std::is_same_v<T, bool>) {
    return ToBoolean(value);
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<T>(ToInteger<std::underlying_type_t<T>>(value));
  } else {
    return ToInteger<T>(value);
  }
}

struct Member {
  std::string_view name;
  Variant (*get)(const MessageObject&);
  void (*put)(MessageObject&, const Variant&);  // null for a read-only member
};

template <auto Field>
constexpr Member Plain(std::string_view name) {
  using T = std::remove_cvref_t<decltype(std::declval<MessageObject&>().*Field)>;
  return {name, [](const MessageObject& m) { return ToVariant(m.*Field); },
          [](MessageObject& m, const Variant& v) { m.*Field = FromVariant<T>(v); }};
}

constexpr Member kMembers[] = {
    Plain<&MessageObject::ServiceType>("ServiceType"),
    Plain<&MessageObject::SourceAddress>("SourceAddress"),
    Plain<&MessageObject::SourceAddressTON>("SourceAddressTON"),
    Plain<&MessageObject::SourceAddressNPI>("SourceAddressNPI"),
    Plain<&MessageObject::DestAddress>("DestAddress"),
    Plain<&MessageObject::DestAddressTON>("DestAddressTON"),
    Plain<&MessageObject::DestAddressNPI>("DestAddressNPI"),
    Plain<&MessageObject::MessageType>("MessageType"),
    Plain<&MessageObject::MessageMode>("MessageMode"),
    Plain<&MessageObject::MessageState>("MessageState"),
    Plain<&MessageObject::Priority>("Priority"),
    Plain<&MessageObject::ValidityRelative>("ValidityRelative"),
    Plain<&MessageObject::ValiditySeconds>("ValiditySeconds"),
    Plain<&MessageObject::ValidityHours>("ValidityHours"),
    Plain<&MessageObject::ReplaceIfPresent>("ReplaceIfPresent"),
    Plain<&MessageObject::DataCoding>("DataCoding"),
    Plain<&MessageObject::ShortMessage>("ShortMessage"),
    Plain<&MessageObject::RegisteredDelivery>("RegisteredDelivery"),
    Plain<&MessageObject::ProtocolID>("ProtocolID"),
    Plain<&MessageObject::SequenceNumber>("SequenceNumber"),
    Plain<&MessageObject::MessageID>("MessageID"),
    Plain<&MessageObject::DeliveryStatus>("DeliveryStatus"),
    Plain<&MessageObject::DeliveryErrorCode>("DeliveryErrorCode"),
    Plain<&MessageObject::CallbackNumber>("CallbackNumber"),
    Plain<&MessageObject::CallbackNumberTON>("CallbackNumberTON"),
    Plain<&MessageObject::CallbackNumberNPI>("CallbackNumberNPI"),
    Plain<&MessageObject::CancelResultCode>("CancelResultCode"),
    Plain<&MessageObject::ShortMessageBytes>("ShortMessageBytes"),
    Plain<&MessageObject::PayloadBytes>("PayloadBytes"),
    Plain<&MessageObject::Payload>("Payload"),
    Plain<&MessageObject::UnsuccessfulDeliveries>("UnsuccessfulDeliveries"),
    {"DefaultMsgId", [](const MessageObject& m) { return Variant(m.DefaultMsgId()); },
     [](MessageObject& m, const Variant& v) { m.DefaultMsgId(ToInteger<int16_t>(v)); }},
    {"UserMessageReference",
     [](const MessageObject& m) { return Variant(m.UserMessageReference()); },
     [](MessageObject& m, const Variant& v) { m.UserMessageReference(v.ToText()); }},
    {"ValidityPeriodString",
     [](const MessageObject& m) { return Variant(m.ValidityPeriodString()); },
     [](MessageObject& m, const Variant& v) { m.ValidityPeriodString(v.ToText()); }},
    {"Recipients.Count", [](const MessageObject& m) { return Variant(m.Recipients.size()); },
     nullptr},
    {"TLVs.Count", [](const MessageObject& m) { return Variant(m.TLVs.size()); }, nullptr},
};

const Member& FindMember(const std::string& path) {
  for (const Member& member : kMembers) {
    if (member.name == path) return member;
  }
  ThrowNotSupported();
}

}  // namespace

Variant MessageObject::GetMember(const std::string& path) const {
  return FindMember(path).get(*this);
}

void MessageObject::PutMember(const std::string& path, const Variant& value) {
  const Member& member = FindMember(path);
  if (!member.put) ThrowNotSupported();
  member.put(*this, value);
}

}  // namespace korvane

namespace korvane::message {
namespace {

[[noreturn]] void ThrowTypeMismatch(const std::string& why) {
  throw ComponentError(13, "Type mismatch: " + why);
}

}  // namespace

MessageObject MessageFromMembers(const LateBound& object) {
  MessageObject message;
  for (const Member& member : kMembers) {
    if (!member.put) continue;
    Variant value;
    try {
      value = object.GetMember(std::string(member.name));
    } catch (const ComponentError& error) {
      // A member the object does not have keeps its initial value.
      if (error.Number() == 438 && member.name != "DestAddress") continue;
      ThrowTypeMismatch("the object has no usable " + std::string(member.name));
    } catch (...) {
      ThrowTypeMismatch("the object has no usable " + std::string(member.name));
    }
    try {
      member.put(message, value);
    } catch (...) {
      ThrowTypeMismatch(std::string(member.name) + " does not convert");
    }
  }
  if (message.DestAddress.empty()) {
    ThrowTypeMismatch(
        "an object without DestAddress needs its recipients, which cannot be read by name");
  }
  return message;
}

}  // namespace korvane::message
