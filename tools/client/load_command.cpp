// send --count N --window W: N messages through the session's submission
// window, then one summary of the rate, latencies and outcomes. Messages are
// built as the window takes them, so memory stays bounded by the window.
#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

#include "commands.hpp"
#include "exit_codes.hpp"
#include "load_summary.hpp"
#include "text_body.hpp"

namespace korvane::client {
namespace {

constexpr std::string_view kNumberMark = "{n}";
// Dead-link detection with --reconnect when --link-timeout is not given.
constexpr int kReconnectLinkTimeout = 30;

std::string Numbered(const std::string& text, int64_t number) {
  std::string numbered;
  const std::string digits = std::to_string(number);
  std::size_t from = 0;
  for (std::size_t at = text.find(kNumberMark); at != std::string::npos;
       at = text.find(kNumberMark, from)) {
    numbered.append(text, from, at - from);
    numbered += digits;
    from = at + kNumberMark.size();
  }
  numbered.append(text, from, std::string::npos);
  return numbered;
}

// The one submission of message `number`; throws std::invalid_argument when
// its text does not encode or needs more than one part.
MessageObject LoadMessage(const SendOptions& options, ClientSession& session, int64_t number) {
  std::vector<uint8_t> body = options.body;
  if (options.body_is_text && options.text.find(kNumberMark) != std::string::npos)
    body = EncodeTextBody(Numbered(options.text, number), options.encoding, options.coding).octets;
  std::vector<MessageObject> parts = MessagesOf(options, session, body);
  if (parts.size() != 1) {
    // Appended piece by piece: `"literal" + temporary` trips g++ 12's
    // -Wrestrict at -O3.
    std::string text = "message ";
    text += std::to_string(number);
    text += " needs ";
    text += std::to_string(parts.size());
    text += " parts: --count sends one-part messages, shorten --text or add --split payload";
    throw std::invalid_argument(text);
  }
  return std::move(parts.front());
}

}  // namespace

int RunLoad(const SendOptions& options, ClientSession& session) {
  SMPP& smpp = session.smpp();
  session.events().keep_delivered = false;
  smpp.MaxOutstanding(options.window);
  // At most two windows are handed over and not completed; all of them may
  // wait in the queue while the pace holds them back (a throttle answer,
  // --tps), retried ones included, so the queue takes both.
  smpp.MaxQueuedSubmissions(2 * options.window);
  smpp.MaxSubmitsPerSecond(options.tps);
  // Submissions queued while the session binds again stay queued and go on
  // the next connection; those in flight complete as lost.
  smpp.AutoReconnect(options.reconnect);
  const int link_timeout = options.link_timeout > 0
                               ? options.link_timeout
                               : (options.reconnect ? kReconnectLinkTimeout : 0);
  if (link_timeout > 0) {
    smpp.LinkTimeout(static_cast<int16_t>(link_timeout));
    // The silence is timed from an enquire_link: one every third of it.
    smpp.AutoEnquireLinkInterval(static_cast<int16_t>(std::max(1, link_timeout / 3)));
  }
  const int64_t count = options.count;
  LoadTally tally;
  int64_t next = 1;  // the next message to hand over
  const auto handed = [&] { return next - 1 - tally.Completed(); };
  const auto start = std::chrono::steady_clock::now();
  while (tally.Completed() < count) {
    while (next <= count && handed() < 2 * int64_t{options.window}) {
      MessageObject message;
      try {
        message = LoadMessage(options, session, next);
      } catch (const std::invalid_argument& error) {
        smpp.Unbind();  // completes what is open before the run ends
        return session.output().Fail(kExitUsage, error.what());
      }
      ++next;
      smpp.SubmitAsync(std::move(message), [&tally](const SubmitResult& r) { tally.Add(r); });
    }
    const bool woke = session.WaitUntil(
        [&] {
          return tally.Completed() >= count ||
                 (next <= count && handed() < 2 * int64_t{options.window});
        },
        std::chrono::steady_clock::time_point::max());
    if (!woke) {
      // Interrupted: the unbind completes what is open; the rest was never
      // handed over.
      smpp.Unbind();
      tally.NotSubmitted(count - (next - 1));
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // The summary is the last thing printed: the unbind and a failure first.
  session.Finish(kExitOk);
  int exit_status = kExitOk;
  if (session.interrupted()) {
    exit_status = session.output().Fail(kExitFailure, "interrupted: the run ended early");
  }
  const LoadSummary summary = tally.Summarize(count, elapsed);
  if (exit_status == kExitOk && summary.accepted != count) {
    std::string text = std::to_string(count - summary.accepted);
    text += " of ";
    text += std::to_string(count);
    text += " messages were not accepted - see the summary and the errors above";
    exit_status = session.output().Fail(kExitFailure, text);
  }
  session.output().Result("summary", SummaryFields(summary), SummaryLine(summary));
  return exit_status;
}

}  // namespace korvane::client
