// Session: the state and the shared procedures behind one SMPP object. It
// holds the settings, the event sinks and the environment, raises the
// events, and is the error reporter of the module "SMPP": a failure in a
// trapped procedure becomes the Error event with the seven-line report and
// the procedure carries on with its next step.
//
// Lives and is used on the thread that runs its environment's loop.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/error_record.hpp"
#include "diagnostics/error_trap.hpp"
#include "korvane/date_time.hpp"
#include "korvane/error_codes.hpp"
#include "korvane/platform.hpp"
#include "korvane/smpp_session.hpp"
#include "session/bind_state.hpp"
#include "session/dead_link_watch.hpp"
#include "session/event_sinks.hpp"
#include "session/link_supervision.hpp"
#include "session/reconnector.hpp"
#include "session/response_waits.hpp"
#include "session/session_settings.hpp"
#include "session/submit_window.hpp"
#include "session/transport.hpp"
#include "vocabulary/sequence_counter.hpp"

namespace korvane::session {

class Session final : public diagnostics::ErrorReporter {
 public:
  Session(SMPP& owner, platform::Environment& environment,
          std::unique_ptr<platform::Environment> owned_environment = nullptr);

  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The session behind a public object.
  static Session& Of(SMPP& smpp) { return *smpp.session_; }

  // The public object, whose public variables the procedures read and write.
  SMPP& owner() { return owner_; }
  platform::Environment& environment() { return environment_; }
  SessionSettings& settings() { return settings_; }
  EventSinks& sinks() { return sinks_; }

  // The counter of the requests that take a counted sequence_number.
  vocabulary::SequenceCounter& sequence() { return sequence_; }

  Transport& transport() { return *transport_; }
  platform::TcpSocket& socket() { return transport_->socket(); }
  LinkSupervisor& link_supervisor() { return *link_supervisor_; }
  DeadLinkWatch& dead_link_watch() { return dead_link_watch_; }
  Reconnector& reconnector() { return reconnector_; }

  BindState& bind_state() { return bind_state_; }
  const BindState& bind_state() const { return bind_state_; }

  // The last accepted query_sm_resp, kept until the next one.
  struct QueryResult {
    int32_t state = 0;       // message_state
    DateTime final_date;     // the zero date when none was given
    int32_t error_code = 0;  // error_code
  };
  const QueryResult& LastQuery() const { return last_query_; }
  void QueryAnswered(const QueryResult& result) { last_query_ = result; }

  // The waits of SendMessage(m, true) and QueryMessage(m, true) by sequence
  // number.
  ResponseWaits& response_waits() { return response_waits_; }

  // The asynchronous submissions in flight and queued.
  SubmitWindow& submit_window() { return submit_window_; }

  // A response to a request with this sequence number arrived: accepted
  // (status 0, with its message id) or refused. Ends the matching wait and
  // completes the matching asynchronous submission.
  void ResponseArrived(int32_t sequence_number, uint32_t status, const std::string& message_id) {
    response_waits_.Answered(sequence_number, status == 0, message_id);
    submit_window_.Answered(sequence_number, status, message_id);
  }

  // Whole PDUs received and not yet handled, oldest first.
  std::deque<std::vector<uint8_t>>& received() { return received_; }
  // A drain of that queue starts or ends; each drain in progress is nested
  // in a handler of the one before. EnterDrain returns the new depth.
  int32_t EnterDrain() { return ++drain_depth_; }
  void LeaveDrain() { --drain_depth_; }

  // Yields until `done` holds or `timeout_seconds` have passed on the
  // monotonic clock; with a timeout of 0 or below it does not yield at all.
  void WaitUntil(int32_t timeout_seconds, const std::function<bool()>& done);
  // The wait every operation uses for its response: OperationsTimeout. A
  // wait that starts on an open connection also ends when that connection
  // is lost, since no response can come any more.
  void WaitForResponse(const std::function<bool()>& done);

  // Unbinds when AutoUnbindOnDestroy is set and a connection is open.
  void Shutdown();

  template <typename Event>
  void Raise(Event&& event) {
    sinks_.Raise(std::forward<Event>(event));
  }

  // A procedure of the module "SMPP" under this session's error trap.
  diagnostics::TrappedProcedure Procedure(std::string_view name) { return {*this, "SMPP", name}; }

  // Raises the Error event with the report of the current error and answers
  // Ignore; the current error is the same afterwards whatever the host's
  // handler did.
  ErrorDecision ReportError(std::string_view module, std::string_view procedure) override;

  void RaiseError(int32_t number, const std::string& source, const std::string& description);
  void RaiseWarning(int32_t number, const std::string& source, const std::string& description);
  void RaiseError(ErrorCode code, const std::string& source, const std::string& description) {
    RaiseError(static_cast<int32_t>(code), source, description);
  }
  void RaiseWarning(ErrorCode code, const std::string& source, const std::string& description) {
    RaiseWarning(static_cast<int32_t>(code), source, description);
  }

  // Diagnostic channels: DebugLog while debug messages are enabled, TraceLog
  // while trace messages are enabled. No trace text is built while tracing
  // is off; callers test the flag first as well, to skip their own work.
  void SendDebugMsg(const std::string& message);
  void SendTraceMsg(const std::string& message);
  void CalcTraceLog(std::span<const uint8_t> pdu, std::string_view label);

 private:
  SMPP& owner_;
  std::unique_ptr<platform::Environment> owned_environment_;
  platform::Environment& environment_;
  SessionSettings settings_;
  BindState bind_state_;
  QueryResult last_query_;
  ResponseWaits response_waits_;
  int32_t drain_depth_ = 0;
  EventSinks sinks_;
  vocabulary::SequenceCounter sequence_;
  diagnostics::SavedError saved_error_;
  std::deque<std::vector<uint8_t>> received_;
  // Before the transport, which may end the connection as it goes.
  SubmitWindow submit_window_{*this};
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<LinkSupervisor> link_supervisor_;
  DeadLinkWatch dead_link_watch_{*this};
  Reconnector reconnector_{*this};
};

}  // namespace korvane::session
