// The simulator's memory of submitted messages: fresh message ids, each
// message's state (en route until its delivery time, then delivered, or
// deleted by a cancel), and the delivery receipt it leads to. Plain values;
// used on the engine's thread only. It also counts duplicates: messages
// whose body (short_message, or message_payload) is not empty and equals
// that of a message kept before: the trace of a client that sent one twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "smsc/pdus.hpp"

namespace korvane::smsc {

// message_state values.
inline constexpr uint8_t kStateEnroute = 1;
inline constexpr uint8_t kStateDelivered = 2;
inline constexpr uint8_t kStateDeleted = 4;

struct StoredMessage {
  std::string id;
  std::string system_id;  // of the session that submitted it
  Address source;
  Address dest;  // the first destination of a submit_multi
  std::string body;
  uint8_t registered_delivery = 0;
  uint8_t state = kStateEnroute;
  // Absolute SMPP times, YYMMDDhhmmss0nnp; done_time is empty until the
  // message is delivered or deleted.
  std::string submit_time;
  std::string done_time;

  // Whether a receipt goes out when the message is delivered: the low two
  // bits of registered_delivery are 1 (success or failure). 2 asks for
  // failures only, and the simulator delivers every message.
  bool WantsReceipt() const { return (registered_delivery & 0x03) == 1; }
};

class MessageStore {
 public:
  // Keeps `message` under a fresh id ("0000000001", "0000000002", ...),
  // which it writes into the stored copy and returns.
  StoredMessage& Add(StoredMessage message);
  // The message with this id, or nullptr.
  StoredMessage* Find(std::string_view id);
  // Messages kept so far whose body came before.
  uint64_t Duplicates() const { return duplicates_; }

 private:
  uint64_t last_id_ = 0;
  uint64_t duplicates_ = 0;
  std::unordered_map<std::string, StoredMessage> messages_;
  // The bodies kept, viewed in place: messages are never erased, and a
  // node of the map never moves.
  std::unordered_set<std::string_view> bodies_;
};

// The local time now as an absolute SMPP time string.
std::string NowTimeString();

// "id:ID sub:001 dlvrd:001 submit date:YYMMDDhhmm done date:YYMMDDhhmm
// stat:DELIVRD err:000 text:" and the body's first 20 octets.
std::string ReceiptText(const StoredMessage& message);

// The delivery receipt as a deliver_sm body: from the message's destination
// to its source, esm_class 0x04, the receipt text, and the parameters
// receipted_message_id (the id with its NUL) and message_state.
Submission ReceiptOf(const StoredMessage& message);

}  // namespace korvane::smsc
