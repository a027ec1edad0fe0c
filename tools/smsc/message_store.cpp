#include "smsc/message_store.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "korvane/date_time.hpp"
#include "vocabulary/protocol.hpp"
#include "vocabulary/time_strings.hpp"

namespace korvane::smsc {
namespace {

constexpr uint8_t kReceiptEsmClass = 0x04;
constexpr std::size_t kReceiptTextLength = 20;
constexpr std::size_t kReceiptDateLength = 10;  // YYMMDDhhmm

std::string StateName(uint8_t state) { return state == kStateDeleted ? "DELETED" : "DELIVRD"; }

}  // namespace

StoredMessage& MessageStore::Add(StoredMessage message) {
  char id[16];
  std::snprintf(id, sizeof id, "%010llu", static_cast<unsigned long long>(++last_id_));
  message.id = id;
  StoredMessage& kept = messages_.insert_or_assign(message.id, std::move(message)).first->second;
  if (!kept.body.empty() && !bodies_.insert(kept.body).second) ++duplicates_;
  return kept;
}

StoredMessage* MessageStore::Find(std::string_view id) {
  const auto found = messages_.find(std::string(id));
  return found == messages_.end() ? nullptr : &found->second;
}

std::string NowTimeString() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  const DateTime time(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
  // tm_gmtoff is local time minus UTC; the bias is UTC minus local time.
  const auto bias_minutes = static_cast<int32_t>(-local.tm_gmtoff / 60);
  return vocabulary::AbsoluteTimeString(time, vocabulary::TimeZoneSuffixOf(bias_minutes));
}

std::string ReceiptText(const StoredMessage& message) {
  const auto date = [](const std::string& time) { return time.substr(0, kReceiptDateLength); };
  return "id:" + message.id + " sub:001 dlvrd:001 submit date:" + date(message.submit_time) +
         " done date:" + date(message.done_time) + " stat:" + StateName(message.state) +
         " err:000 text:" + message.body.substr(0, kReceiptTextLength);
}

Submission ReceiptOf(const StoredMessage& message) {
  Submission receipt;
  receipt.source = message.dest;
  receipt.dests.push_back(message.source);
  receipt.esm_class = kReceiptEsmClass;
  receipt.short_message = ReceiptText(message);
  receipt.tlvs.push_back({vocabulary::kTagReceiptedMessageId, message.id + '\0'});
  receipt.tlvs.push_back(
      {vocabulary::kTagMessageState, std::string(1, static_cast<char>(message.state))});
  return receipt;
}

}  // namespace korvane::smsc
