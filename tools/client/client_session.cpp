#include "client_session.hpp"

#include <array>
#include <asio/executor_work_guard.hpp>
#include <random>

#include "exit_codes.hpp"
#include "received_message.hpp"

namespace korvane::client {
namespace {

// The library's errors carry a report of several lines; its description line
// says what happened. A plain text stays as it is.
std::string DescriptionOf(const std::string& report) {
  static constexpr std::string_view kLabel = "Description   :";
  const std::size_t start = report.find(kLabel);
  if (start == std::string::npos) return report;
  const std::size_t from = start + kLabel.size();
  return report.substr(from, report.find("\r\n", from) - from);
}

const char* BindName(int bind_type) {
  switch (bind_type) {
    case 1:
      return "receiver";
    case 2:
      return "transmitter";
    default:
      return "transceiver";
  }
}

}  // namespace

std::string StateName(int32_t state) {
  static constexpr std::array<const char*, 8> kNames{"ENROUTE", "DELIVERED",     "EXPIRED",
                                                     "DELETED", "UNDELIVERABLE", "ACCEPTED",
                                                     "UNKNOWN", "REJECTED"};
  if (state >= 1 && state <= 8) return kNames[static_cast<std::size_t>(state - 1)];
  return "STATE " + std::to_string(state);
}

void SessionEvents::Error(int32_t number, const std::string& source,
                          const std::string& description) {
  LibraryError error{number, source, DescriptionOf(description)};
  output_.Note("error", {{"number", int64_t{number}}, {"source", source}, {"text", error.text}},
               "error " + std::to_string(number) + " from " + source + ": " + error.text);
  errors.push_back(std::move(error));
}

void SessionEvents::Warning(int32_t number, const std::string& source,
                            const std::string& description) {
  const std::string text = DescriptionOf(description);
  output_.Note("warning", {{"number", int64_t{number}}, {"source", source}, {"text", text}},
               "warning " + std::to_string(number) + " from " + source + ": " + text);
}

std::string MaskedTraceLine(const std::string& line) {
  // "label:<TAB>00 00 00 1F 00 00 00 02 ...": three characters per octet.
  const std::size_t tab = line.find('\t');
  if (tab == std::string::npos) return line;
  const std::size_t first = tab + 1;
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  const auto octet_at = [&](std::size_t index) -> int {
    const std::size_t at = first + index * 3;
    if (at + 2 > line.size() || digit(line[at]) < 0 || digit(line[at + 1]) < 0) return -1;
    return digit(line[at]) * 16 + digit(line[at + 1]);
  };
  const int command = octet_at(7);
  if (octet_at(4) != 0 || octet_at(5) != 0 || octet_at(6) != 0 ||
      (command != 1 && command != 2 && command != 9))
    return line;
  std::size_t index = 16;
  while (octet_at(index) > 0) ++index;  // system_id
  std::string masked = line;
  for (++index; octet_at(index) > 0; ++index) masked.replace(first + index * 3, 2, "**");
  return masked;
}

void SessionEvents::TraceLog(const std::string& line) {
  const std::string shown = MaskedTraceLine(line);
  output_.Note("trace", {{"line", shown}}, shown);
}

void SessionEvents::DebugLog(const std::string& text) {
  output_.Note("debug", {{"text", text}}, "debug: " + text);
}

void SessionEvents::MessageReceived(MessageObject& message) {
  if (IsReceipt(message)) {
    ++messages_received;
    ++receipts_received;
    receipt_ids.push_back(PrintReceipt(output_, message).id);
    return;
  }
  Print(reassembler_.Add(message, std::chrono::steady_clock::now()));
}

void SessionEvents::Print(const std::vector<text::AssembledMessage>& messages) {
  for (const text::AssembledMessage& message : messages) {
    ++messages_received;
    PrintReceivedMessage(output_, message);
  }
}

void SessionEvents::FlushIncomplete() { Print(reassembler_.TakeAll()); }

void SessionEvents::Bound() {
  output_.Note("bound", {{"bind", bind_name_}, {"server", server_}},
               "bound as " + bind_name_ + " to " + server_);
}

void SessionEvents::Reconnecting(int32_t attempt, int32_t delay_milliseconds) {
  output_.Note("reconnecting",
               {{"attempt", int64_t{attempt}}, {"delay_ms", int64_t{delay_milliseconds}}},
               "connection lost: binding again in " + std::to_string(delay_milliseconds) +
                   " ms (attempt " + std::to_string(attempt) + ")");
}

void SessionEvents::Reconnected(int32_t attempt) {
  output_.Note("reconnected", {{"attempt", int64_t{attempt}}},
               "bound again (attempt " + std::to_string(attempt) + ")");
}

void SessionEvents::ReconnectFailed(int32_t attempt, const std::string& reason) {
  output_.Note("reconnect_failed", {{"attempt", int64_t{attempt}}, {"reason", reason}},
               "attempt " + std::to_string(attempt) + " to bind again failed: " + reason);
}

ClientSession::ClientSession(const CommonOptions& options, Output& output)
    : options_(options),
      output_(output),
      events_(output, BindName(options.bind_type), Server()),
      smpp_(loop_),
      // Each run starts its references somewhere else, so that two runs to
      // one handset do not mix their parts.
      references_(static_cast<uint16_t>(std::random_device{}())) {
  smpp_.Subscribe(events_);
  smpp_.SMPPServerAddress(options.host);
  smpp_.SMPPServerPort(options.port);
  smpp_.SystemID(options.system_id);
  smpp_.Password(Variant(options.password));
  smpp_.SystemType(options.system_type);
  smpp_.ProtocolID(static_cast<ProtocolIDs>(options.smpp_version));
  smpp_.OperationsTimeout(static_cast<int16_t>(options.timeout_seconds));
  smpp_.ConnectionTimeout(static_cast<int16_t>(options.timeout_seconds));
  smpp_.EnableTraceMessages(options.trace);
  smpp_.EnableDebugMessages(options.debug);
  // An interruption ends the current wait; the session still unbinds.
  signals_.async_wait([this](const std::error_code& error, int) { interrupted_ = !error; });
}

ClientSession::~ClientSession() { signals_.cancel(); }

std::string ClientSession::Server() const {
  return options_.host + ":" + std::to_string(options_.port);
}

int ClientSession::Bind() {
  const std::size_t errors_before = events_.errors.size();
  if (smpp_.Bind(static_cast<BindTypes>(options_.bind_type)) != 0) return kExitOk;
  const LibraryError* error =
      events_.errors.size() > errors_before ? &events_.errors[errors_before] : nullptr;
  const std::string timeout = std::to_string(options_.timeout_seconds) + " s";
  if (error && error->source == "Winsock")
    return output_.Fail(kExitBindFailure, "cannot connect to " + Server() + ": " + error->text +
                                              " - is the SMSC running? check --host/--port");
  // A refusing bind_resp reports its command_status as 27000 + status, or 28000.
  if (error && error->number >= 27000 && error->number <= 28000)
    return output_.Fail(kExitBindFailure,
                        "bind refused by " + Server() + ": " + error->text +
                            " - check --system-id, --password, --system-type and --bind");
  if (error)
    return output_.Fail(kExitBindFailure, "bind to " + Server() + " failed: " + error->text +
                                              " - is it an SMPP server? check --host/--port");
  if (smpp_.LocalIPAddress().empty())
    return output_.Fail(kExitTimeout, "cannot connect to " + Server() + ": no connection within " +
                                          timeout + " - check --host/--port or raise --timeout");
  return output_.Fail(kExitTimeout, "no answer to the bind from " + Server() + " within " +
                                        timeout + " - is it an SMPP port? raise --timeout");
}

bool ClientSession::WaitUntil(const std::function<bool()>& done) {
  return WaitUntil(
      done, std::chrono::steady_clock::now() + std::chrono::seconds(options_.timeout_seconds));
}

bool ClientSession::WaitUntil(const std::function<bool()>& done,
                              std::chrono::steady_clock::time_point deadline) {
  while (!done()) {
    if (interrupted_ || std::chrono::steady_clock::now() >= deadline) return false;
    // The guard keeps an idle loop waiting for the next event instead of
    // returning at once.
    if (loop_.stopped()) loop_.restart();
    auto guard = asio::make_work_guard(loop_);
    loop_.run_one_until(deadline);
  }
  return true;
}

int ClientSession::FailSince(std::size_t errors_before, const std::string& what) {
  if (events_.errors.size() > errors_before) {
    // The first error names the cause; later ones follow from it.
    const LibraryError& error = events_.errors[errors_before];
    return output_.Fail(kExitFailure, what + " failed: " + error.text + " (error " +
                                          std::to_string(error.number) +
                                          ") - check the values given and the SMSC's log");
  }
  if (interrupted_) return output_.Fail(kExitFailure, "interrupted while waiting for " + what);
  if (events_.connection_closed)
    return output_.Fail(
        kExitFailure, "the SMSC closed the connection during " + what + " - check the SMSC's log");
  return output_.Fail(kExitTimeout, "no answer to " + what + " within " +
                                        std::to_string(options_.timeout_seconds) +
                                        " s - raise --timeout or check the SMSC");
}

int ClientSession::Finish(int exit_status) {
  if (smpp_.ConnectedAndBound) {
    smpp_.Unbind();
    output_.Note("unbound", {}, "unbound");
  }
  return exit_status;
}

}  // namespace korvane::client
