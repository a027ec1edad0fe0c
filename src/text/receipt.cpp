// Delivery receipts: the optional parameters, then the text form read
// tolerantly, and message ids compared across hex and decimal.
#include <algorithm>
#include <array>
#include <cctype>

#include "korvane/text.hpp"

namespace korvane::text {
namespace {

constexpr int32_t kTagReceiptedMessageId = 0x001E;
constexpr int32_t kTagNetworkErrorCode = 0x0423;
constexpr int32_t kTagMessageState = 0x0427;

constexpr std::array<const char*, 8> kStatNames{"ENROUTE", "DELIVRD", "EXPIRED", "DELETED",
                                                "UNDELIV", "ACCEPTD", "UNKNOWN", "REJECTD"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) {
    return c == '\0' || std::isspace(static_cast<unsigned char>(c));
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Where the value of `key` ("submit date") starts in the lower-case text,
// the key standing at the start or after a blank; npos when absent.
std::size_t ValueStart(const std::string& lower, std::string_view key) {
  for (std::size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + 1)) {
    const std::size_t colon = at + key.size();
    if ((at == 0 || lower[at - 1] == ' ') && colon < lower.size() && lower[colon] == ':') {
      std::size_t value = colon + 1;
      while (value < lower.size() && lower[value] == ' ') ++value;
      return value;
    }
  }
  return std::string::npos;
}

std::string Field(std::string_view text, const std::string& lower,
                  std::initializer_list<std::string_view> keys) {
  for (const std::string_view key : keys) {
    const std::size_t start = ValueStart(lower, key);
    if (start == std::string::npos) continue;
    const std::size_t end = text.find(' ', start);
    return std::string(text.substr(start, end == std::string::npos ? end : end - start));
  }
  return "";
}

int Number(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 9) return -1;
  int value = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// YYMMDDhhmm or YYMMDDhhmmss.
std::optional<DateTime> DateOf(std::string_view text) {
  if (text.size() != 10 && text.size() != 12) return std::nullopt;
  const auto two = [&](std::size_t at) { return Number(text.substr(at, 2)); };
  for (std::size_t at = 0; at < text.size(); at += 2)
    if (two(at) < 0) return std::nullopt;
  const int month = two(2), day = two(4), hour = two(6), minute = two(8);
  const int second = text.size() == 12 ? two(10) : 0;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  return DateTime(2000 + two(0), month, day, hour, minute, second);
}

int StateOfStat(std::string_view stat) {
  const std::string upper = [&] {
    std::string u(stat);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  }();
  for (std::size_t i = 0; i < kStatNames.size(); ++i)
    if (upper == kStatNames[i]) return static_cast<int>(i) + 1;
  if (upper == "DELIVERED") return 2;
  if (upper == "UNDELIVERABLE") return 5;
  if (upper == "ACCEPTED") return 6;
  if (upper == "REJECTED") return 8;
  return 0;
}

std::optional<uint64_t> Parse(std::string_view digits, int base) {
  if (digits.empty() || digits.size() > (base == 16 ? 15u : 18u)) return std::nullopt;
  uint64_t value = 0;
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c))
                          ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                          : 99;
    if (digit >= base) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return value;
}

}  // namespace

std::string ReceiptStatName(int state) {
  if (state < 1 || state > 8) return "";
  return kStatNames[static_cast<std::size_t>(state - 1)];
}

DeliveryReceipt ParseReceiptText(std::string_view text) {
  const std::string lower = Lower(text);
  DeliveryReceipt receipt;
  receipt.id = std::string(Trimmed(Field(text, lower, {"id"})));
  receipt.submitted = Number(Field(text, lower, {"sub"}));
  receipt.delivered = Number(Field(text, lower, {"dlvrd"}));
  receipt.submit_date_text = Field(text, lower, {"submit date", "submit_date"});
  receipt.done_date_text = Field(text, lower, {"done date", "done_date"});
  receipt.submit_date = DateOf(receipt.submit_date_text);
  receipt.done_date = DateOf(receipt.done_date_text);
  receipt.stat = Field(text, lower, {"stat"});
  receipt.state = StateOfStat(receipt.stat);
  receipt.err = Field(text, lower, {"err"});
  if (Lower(receipt.err) == "null") receipt.err.clear();
  if (const std::size_t start = ValueStart(lower, "text"); start != std::string::npos)
    receipt.text = std::string(text.substr(start));
  return receipt;
}

DeliveryReceipt ParseReceipt(const MessageObject& message) {
  DeliveryReceipt receipt = ParseReceiptText(TextOf(message));
  std::string id = message.GetOptionalParamStringValue(kTagReceiptedMessageId);
  if (const std::size_t nul = id.find('\0'); nul != std::string::npos) id.resize(nul);
  if (!Trimmed(id).empty()) receipt.id = std::string(Trimmed(id));
  const Variant state = message.GetOptionalParamBytesValue(kTagMessageState);
  if (state.IsBytes() && state.Bytes().size() == 1 && state.Bytes()[0] != 0) {
    receipt.state = state.Bytes()[0];
  } else if (const auto from_object = static_cast<int>(message.MessageState); from_object != 0) {
    receipt.state = from_object;
  }
  if (receipt.stat.empty()) receipt.stat = ReceiptStatName(receipt.state);
  const Variant network = message.GetOptionalParamBytesValue(kTagNetworkErrorCode);
  if (network.IsBytes() && network.Bytes().size() == 3)
    receipt.network_error = network.Bytes()[1] << 8 | network.Bytes()[2];
  return receipt;
}

bool SameMessageId(std::string_view a, std::string_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  if (a.empty() || b.empty()) return false;
  if (Lower(a) == Lower(b)) return true;
  const auto unpadded = [](std::string_view id) {
    while (id.size() > 1 && id.front() == '0') id.remove_prefix(1);
    return Lower(id);
  };
  const std::string short_a = unpadded(a), short_b = unpadded(b);
  if (short_a == short_b) return true;
  const auto a_hex = Parse(short_a, 16), b_hex = Parse(short_b, 16);
  const auto a_dec = Parse(short_a, 10), b_dec = Parse(short_b, 10);
  return (a_hex && b_dec && *a_hex == *b_dec) || (a_dec && b_hex && *a_dec == *b_hex);
}

}  // namespace korvane::text
