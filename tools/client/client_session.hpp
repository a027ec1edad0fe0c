// One SMPP session set up from the common options, on a loop of its own, with
// the events every command needs recorded and the diagnostic ones printed.
#pragma once

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "korvane/text.hpp"
#include "options.hpp"
#include "output.hpp"

namespace korvane::client {

struct LibraryError {
  int32_t number = 0;
  std::string source;
  std::string text;  // the description line of the library's report
};

// Records what the commands wait for; prints the bind, received messages,
// errors, warnings and traces as they come. Messages are printed here rather
// than by listen alone: one may arrive with the bind's answer, inside Bind.
class SessionEvents : public SMPPEvents {
 public:
  SessionEvents(Output& output, std::string bind_name, std::string server)
      : output_(output), bind_name_(std::move(bind_name)), server_(std::move(server)) {}

  std::vector<LibraryError> errors;
  std::vector<MessageObject> delivered;  // submit / submit_multi answers
  std::vector<MessageObject> statuses;   // query answers
  std::vector<MessageObject> cancel_results;
  int link_answers = 0;
  int messages_received = 0;  // whole messages printed: parts count once
  int receipts_received = 0;
  std::vector<std::string> receipt_ids;  // the message ids the receipts name
  bool connection_closed = false;
  // Off in load mode, where the answers are counted by their completions.
  bool keep_delivered = true;

  // Prints the concatenated messages still missing parts, as incomplete.
  void FlushIncomplete();

  void Error(int32_t number, const std::string& source, const std::string& description) override;
  void Warning(int32_t number, const std::string& source, const std::string& description) override;
  void TraceLog(const std::string& line) override;
  void DebugLog(const std::string& text) override;
  void MessageDelivered(MessageObject& message) override {
    if (keep_delivered) delivered.push_back(message);
  }
  void MessageStatusReceived(MessageObject& message) override { statuses.push_back(message); }
  void MessageCancelResult(MessageObject& message) override { cancel_results.push_back(message); }
  void MessageReceived(MessageObject& message) override;
  void Bound() override;
  void LinkOk() override { ++link_answers; }
  void ConnectionClosed() override { connection_closed = true; }
  void Reconnecting(int32_t attempt, int32_t delay_milliseconds) override;
  void Reconnected(int32_t attempt) override;
  void ReconnectFailed(int32_t attempt, const std::string& reason) override;

 private:
  void Print(const std::vector<text::AssembledMessage>& messages);

  Output& output_;
  std::string bind_name_;
  std::string server_;
  text::Reassembler reassembler_;
};

// A trace line with the password octets of a bind PDU shown as "**".
std::string MaskedTraceLine(const std::string& line);

class ClientSession {
 public:
  ClientSession(const CommonOptions& options, Output& output);
  ~ClientSession();

  // Connects and binds as the options say; 0, or the exit status after the
  // failure was reported.
  int Bind();
  // Runs the loop until `done` holds (true), or --timeout passes or SIGINT /
  // SIGTERM arrives (false).
  bool WaitUntil(const std::function<bool()>& done);
  bool WaitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  // Unbinds when still bound, then returns `exit_status`.
  int Finish(int exit_status);

  // The failure of an operation after the errors seen since `errors_before`:
  // exit 1 naming the last error (or the interruption), else 4 for `what`
  // that did not come.
  int FailSince(std::size_t errors_before, const std::string& what);

  SMPP& smpp() { return smpp_; }
  asio::io_context& loop() { return loop_; }
  SessionEvents& events() { return events_; }
  Output& output() { return output_; }
  // Concatenation references for the messages this session splits.
  text::ConcatenationReferences& references() { return references_; }
  bool interrupted() const { return interrupted_; }
  std::string Server() const;

 private:
  const CommonOptions& options_;
  Output& output_;
  SessionEvents events_;   // outlives the session, which reports its last unbind
  asio::io_context loop_;  // outlives the session that runs on it
  SMPP smpp_;
  asio::signal_set signals_{loop_, SIGINT, SIGTERM};
  bool interrupted_ = false;
  text::ConcatenationReferences references_;
};

// "DELIVERED" for 2, ...; "STATE n" for a value without a name.
std::string StateName(int32_t state);

}  // namespace korvane::client
