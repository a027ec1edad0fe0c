// SmscEngine: the SMSC simulator on a given asio::io_context. It listens on
// one TCP endpoint and serves any number of ESME connections: binds, with an
// optional credential check; submit_sm and submit_multi with fresh message
// ids; delivery receipts after a fixed delay; query_sm and cancel_sm;
// enquire_link and unbind; and mobile-originated messages sent as deliver_sm.
// On request it injects faults (fault_plan.hpp) and counts them.
//
// Threading: the engine lives on the thread that runs its loop. Port(),
// Stop() and SendMo() may be called from any thread; everything else runs
// on the loop. Stop it and let the loop finish before destroying it, so that
// no handler of its connections is still pending.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "smsc/fault_plan.hpp"
#include "smsc/message_store.hpp"
#include "smsc/pdus.hpp"
#include "smsc/rebind_guard.hpp"
#include "smsc/response_delay.hpp"
#include "smsc/texts.hpp"

namespace korvane::smsc {

class Session;

// A mobile-originated message, sent as a deliver_sm: GSM 7-bit when every
// character has a code, else UCS-2; a long text as concatenated parts.
struct MoMessage {
  std::string from;
  std::string to;
  std::string text;
};

struct SmscOptions {
  std::string host = "127.0.0.1";
  uint16_t port = 2775;  // 0: the system chooses
  // Credentials a bind must give; an empty value accepts any.
  std::string system_id{};
  std::string password{};
  // Time from submission to delivery, when the receipt (if asked for) goes.
  std::chrono::milliseconds receipt_delay{50};
  // Interval of the simulator's own enquire_link on each bound session; 0:
  // never.
  std::chrono::milliseconds enquire_interval{0};
  // Sent to every receiver or transceiver right after its bind succeeds.
  std::vector<MoMessage> mo_on_bind{};
  // Added latency of the responses to the ESME's requests; none by default.
  Latency latency{};
  // Faults injected for testing clients; none by default.
  FaultOptions faults{};
  // Stop once this many sessions have unbound (and been closed); 0: never.
  int exit_after_unbinds = 0;
  // Adds a hex dump of each PDU to the log.
  bool trace = false;
  // One line per PDU received or sent, and connection events; empty: none.
  std::function<void(const std::string&)> log{};
  // Problems: malformed PDUs, refused lengths, failed writes; empty: none.
  std::function<void(const std::string&)> report{};
  // Called on the loop once the engine has stopped, whatever stopped it.
  std::function<void()> on_stopped{};
};

class SmscEngine {
 public:
  // Opens the listening socket and starts accepting. Throws std::system_error
  // when the address cannot be bound.
  SmscEngine(asio::io_context& loop, SmscOptions options);
  ~SmscEngine();
  SmscEngine(const SmscEngine&) = delete;
  SmscEngine& operator=(const SmscEngine&) = delete;

  uint16_t Port() const { return port_; }

  // Closes the listening socket and every connection (without an unbind)
  // and cancels the timers, so that the loop runs out of work. Idempotent.
  void Stop();
  // Sends `mo` to every receiver or transceiver bound now; when none is,
  // to the next one that binds.
  void SendMo(MoMessage mo);
  // Submissions accepted and duplicated, and the faults injected so far;
  // readable from any thread.
  const FaultCounters& Counters() const { return counters_; }
  // Accepted submissions whose text was accepted before.
  uint64_t Duplicates() const { return counters_.Get(FaultCounters::kDuplicates); }

  // The sessions' side, on the loop's thread.
  const SmscOptions& Options() const { return options_; }
  MessageStore& Store() { return store_; }
  void Log(const std::string& line) const;
  void Report(const std::string& line) const;
  // The bind_resp status for these credentials.
  uint32_t Authenticate(const std::string& system_id, const std::string& password) const;
  // Whether a bind of `system_id` now meets the rebind guard (counted).
  bool RebindRefused(const std::string& system_id);
  // Counts a fault a session injected.
  void Count(FaultCounters::Kind kind) { counters_.Add(kind); }
  // Stores a submitted message, schedules its delivery and returns its id.
  std::string Submit(const std::shared_ptr<Session>& origin, StoredMessage message);
  // A session bound as receiver or transceiver: the messages waiting for it.
  void ReceiverBound(Session& session);
  void SessionClosed(const Session& session, bool unbound);
  // Logs the text of a received submission, concatenated parts once whole.
  void LogText(const Submission& message);

 private:
  struct Delivery {
    std::string id;
    std::chrono::steady_clock::time_point due;
    std::weak_ptr<Session> origin;
  };

  void Accept();
  void StopNow();
  void ArmDeliveries();
  void DeliverDue();
  void SendReceipt(const StoredMessage& message, const std::shared_ptr<Session>& origin);
  void DeliverMo(const MoMessage& mo);
  void SendMoTo(Session& session, const MoMessage& mo);
  // Sends a deliver_sm on `session`; one that cannot be encoded (a text
  // over 65535 octets) is reported instead.
  void SendDeliverSm(Session& session, const Submission& message) const;
  std::vector<std::shared_ptr<Session>> Receivers(const std::string* system_id) const;

  asio::io_context& loop_;
  SmscOptions options_;
  asio::ip::tcp::acceptor acceptor_;
  uint16_t port_ = 0;
  asio::steady_timer delivery_timer_;
  std::deque<Delivery> deliveries_;  // due times ascend: the delay is fixed
  MessageStore store_;
  std::vector<std::shared_ptr<Session>> sessions_;
  std::deque<std::string> pending_receipts_;  // ids with no receiver bound yet
  std::deque<MoMessage> pending_mo_;
  TextLog text_log_;
  text::ConcatenationReferences references_;
  FaultCounters counters_;
  RebindGuard rebind_guard_;
  int next_session_number_ = 1;
  int unbinds_ = 0;
  bool stopped_ = false;
};

}  // namespace korvane::smsc
