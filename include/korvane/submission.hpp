// The result of an asynchronous submission (SMPP::SubmitAsync), handed to
// its completion exactly once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace korvane {

enum class SubmitOutcome {
  Accepted,        // status 0; MessageID holds the SMSC's id
  Refused,         // a non-zero command_status or a generic_nack (a throttle
                   // answer once ThrottleRetryLimit retries are spent)
  TimedOut,        // no answer within OperationsTimeout
  ConnectionLost,  // sent, and the connection ended before the answer
  NotSent,         // never sent: queue full, not bound, refused by the
                   // encoder, or still queued when the connection ended
};

struct SubmitResult {
  SubmitOutcome Outcome = SubmitOutcome::NotSent;
  int32_t SequenceNumber = 0;  // 0 when not sent
  std::string MessageID;
  uint32_t CommandStatus = 0;                     // the whole command_status of the answer
  int32_t ErrorNumber = 0;                        // 0 when accepted
  std::string ErrorText;                          // e.g. "connection lost, outcome unknown"
  std::chrono::steady_clock::duration Elapsed{};  // from sending to the answer
  int32_t Retries = 0;  // times sent again after a throttle answer (0x58, 0x14)
};

using SubmitCompletion = std::function<void(const SubmitResult&)>;

}  // namespace korvane
