// query, cancel and enquire: one request each, and its answer.
#include <string>

#include "commands.hpp"
#include "exit_codes.hpp"

namespace korvane::client {
namespace {

MessageObject MessageNamed(const MessageReference& reference, SMPP& smpp) {
  MessageObject message = smpp.NewMessage();
  message.MessageID = reference.id;
  message.SourceAddress = reference.from;
  message.DestAddress = reference.to;
  return message;
}

// Runs the loop until an answer counted by `answers` arrives, an error is
// raised or the link drops; whether the answer came.
bool AwaitAnswer(ClientSession& session, std::size_t errors_before,
                 const std::function<std::size_t()>& answers) {
  SessionEvents& events = session.events();
  const std::size_t answers_before = answers();
  return session.WaitUntil([&] {
    return answers() > answers_before || events.errors.size() > errors_before ||
           events.connection_closed;
  }) && answers() > answers_before;
}

}  // namespace

int RunQuery(const MessageReference& reference, ClientSession& session) {
  SessionEvents& events = session.events();
  MessageObject message = MessageNamed(reference, session.smpp());
  const std::size_t errors_before = events.errors.size();
  const std::size_t answers_before = events.statuses.size();
  session.smpp().QueryMessage(message, false);
  if (message.SequenceNumber == 0 ||
      !AwaitAnswer(session, errors_before, [&] { return events.statuses.size(); }))
    return session.FailSince(errors_before, "query_sm");
  const MessageObject& answer = events.statuses[answers_before];
  const auto state = static_cast<int32_t>(answer.DeliveryStatus);
  const std::string final_date =
      answer.FinalDeliveryDate.IsZero() ? std::string() : answer.FinalDeliveryDate.ToString();
  session.output().Result("status",
                          {{"id", answer.MessageID},
                           {"state", StateName(state)},
                           {"state_code", int64_t{state}},
                           {"final_date", final_date},
                           {"error_code", int64_t{answer.DeliveryErrorCode}}},
                          "message " + answer.MessageID + ": " + StateName(state) + " (" +
                              std::to_string(state) + "), final date " +
                              (final_date.empty() ? "none" : final_date) + ", error code " +
                              std::to_string(answer.DeliveryErrorCode));
  return kExitOk;
}

int RunCancel(const MessageReference& reference, ClientSession& session) {
  SessionEvents& events = session.events();
  MessageObject message = MessageNamed(reference, session.smpp());
  const std::size_t errors_before = events.errors.size();
  session.smpp().CancelMessage(message);
  if (message.SequenceNumber == 0 ||
      !AwaitAnswer(session, errors_before, [&] { return events.cancel_results.size(); }))
    return session.FailSince(errors_before, "cancel_sm");
  session.output().Result("cancelled", {{"id", reference.id}}, "cancelled " + reference.id);
  return kExitOk;
}

int RunEnquire(ClientSession& session) {
  SessionEvents& events = session.events();
  const std::size_t errors_before = events.errors.size();
  if (!session.smpp().EnquireLink() || !AwaitAnswer(session, errors_before, [&] {
        return static_cast<std::size_t>(events.link_answers);
      }))
    return session.FailSince(errors_before, "enquire_link");
  session.output().Result("link_ok", {}, "link ok: " + session.Server() + " answered enquire_link");
  return kExitOk;
}

}  // namespace korvane::client
