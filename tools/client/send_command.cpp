// send: one submit_sm, or a submit_multi for several destinations; a text
// too long for one message goes as concatenated parts.
#include <algorithm>
#include <string>

#include "commands.hpp"
#include "exit_codes.hpp"
#include "korvane/text.hpp"

namespace korvane::client {
namespace {

template <typename Enum>
Enum As(int value) {
  return static_cast<Enum>(value);
}

// Everything but the body.
MessageObject PrototypeOf(const SendOptions& options, SMPP& smpp) {
  MessageObject message = smpp.NewMessage();
  message.SourceAddress = options.from;
  message.SourceAddressTON = As<AddressTypeOfNumbers>(options.from_ton);
  message.SourceAddressNPI = As<AddressNumberPlanIndicators>(options.from_npi);
  if (options.to.size() == 1 && options.lists.empty()) {
    message.DestAddress = options.to.front();
    message.DestAddressTON = As<AddressTypeOfNumbers>(options.to_ton);
    message.DestAddressNPI = As<AddressNumberPlanIndicators>(options.to_npi);
  } else {
    for (const std::string& address : options.to)
      message.AddRecipient(As<AddressTypeOfNumbers>(options.to_ton),
                           As<AddressNumberPlanIndicators>(options.to_npi), address);
    for (const std::string& list : options.lists) message.AddDistributionList(list);
  }
  message.DataCoding = As<SMSDataCodingSchemes>(options.data_coding);
  message.ProtocolID = static_cast<int16_t>(options.protocol_id);
  message.RegisteredDelivery = As<RegisteredDeliveryTypes>(options.registered_delivery);
  message.ValiditySeconds = static_cast<int16_t>(options.validity_seconds);
  message.ValidityHours = static_cast<int16_t>(options.validity_hours);
  message.ValidityRelative = !options.absolute_validity;
  message.ScheduledDeliveryTime = options.schedule;
  for (const OptionalParameter& tlv : options.tlvs)
    message.AddOptionalParamByte(tlv.tag, Variant(tlv.value));
  return message;
}

text::SplitMethod MethodOf(const std::string& name) {
  if (name == "udh16") return text::SplitMethod::Udh16;
  if (name == "sar") return text::SplitMethod::Sar;
  if (name == "payload") return text::SplitMethod::Payload;
  return text::SplitMethod::Udh8;
}

void PrintMessageId(Output& output, const MessageObject& answer, std::size_t part,
                    std::size_t parts) {
  if (parts > 1) {
    output.Result("message_id",
                  {{"id", answer.MessageID},
                   {"part", static_cast<int64_t>(part)},
                   {"parts", static_cast<int64_t>(parts)}},
                  "message id: " + answer.MessageID + " (part " + std::to_string(part) + " of " +
                      std::to_string(parts) + ")");
  } else {
    output.Result("message_id", {{"id", answer.MessageID}}, "message id: " + answer.MessageID);
  }
  for (const Recipient& failed : answer.Recipients)
    output.Result(
        "unsuccessful", {{"address", failed.Address}, {"status", int64_t{failed.StatusCode}}},
        "not accepted for " + failed.Address + ": status " + std::to_string(failed.StatusCode));
}

// The answers that came, numbered as the parts: the answer event names no
// sequence number, and an SMSC answers a connection's requests in order.
void PrintAnswers(Output& output, const std::vector<MessageObject>& answers, std::size_t parts) {
  for (std::size_t i = 0; i < answers.size(); ++i) PrintMessageId(output, answers[i], i + 1, parts);
}

bool AllAnswered(const SessionEvents& events, std::size_t parts) {
  return events.delivered.size() >= parts;
}

// Whether a receipt has come for every id.
bool AllReceipted(const SessionEvents& events, const std::vector<std::string>& ids) {
  return std::all_of(ids.begin(), ids.end(), [&](const std::string& id) {
    return std::any_of(events.receipt_ids.begin(), events.receipt_ids.end(),
                       [&](const std::string& named) { return text::SameMessageId(id, named); });
  });
}

}  // namespace

// The messages to submit: the body whole (--payload, --hex), or the text in
// as many parts as it needs.
std::vector<MessageObject> MessagesOf(const SendOptions& options, ClientSession& session,
                                      const std::vector<uint8_t>& body) {
  MessageObject message = PrototypeOf(options, session.smpp());
  if (options.payload) {
    message.Payload = Variant(body);
    return {message};
  }
  if (!options.body_is_text) {
    message.ShortMessage = Variant(body);
    return {message};
  }
  text::SplitOptions split;
  split.method = MethodOf(options.split);
  split.reference = session.references().Next();
  return text::SplitOctets(body, options.data_coding, split, message);
}

int RunSend(const SendOptions& options, ClientSession& session) {
  // The message's protocol_id goes out, not the interface version.
  session.smpp().UseMessageProtocolID = true;
  if (options.count > 0) return RunLoad(options, session);
  SessionEvents& events = session.events();
  std::vector<MessageObject> messages = MessagesOf(options, session, options.body);
  const std::size_t errors_before = events.errors.size();
  const char* operation = messages.front().DestAddress.empty() ? "submit_multi" : "submit_sm";
  for (MessageObject& message : messages) {
    session.smpp().SendMessage(message, false);
    if (message.SequenceNumber == 0)
      return session.output().Fail(
          kExitUsage, "the message was not sent: " +
                          (events.errors.size() > errors_before ? events.errors[errors_before].text
                                                                : std::string("refused")) +
                          " - check the values given");
    session.output().Note(
        "sent", {{"pdu", std::string(operation)}, {"sequence", int64_t{message.SequenceNumber}}},
        std::string("sent ") + operation + " (sequence " + std::to_string(message.SequenceNumber) +
            ")");
  }
  if (!options.wait) {
    // The unbind that follows goes out behind the submissions, and its wait
    // lets the answers arrive.
    session.Finish(kExitOk);
    PrintAnswers(session.output(), events.delivered, messages.size());
    return events.errors.size() > errors_before ? session.FailSince(errors_before, operation)
                                                : kExitOk;
  }
  const bool answered = session.WaitUntil([&] {
    return AllAnswered(events, messages.size()) || events.errors.size() > errors_before ||
           events.connection_closed;
  });
  PrintAnswers(session.output(), events.delivered, messages.size());
  const bool ids =
      std::all_of(events.delivered.begin(), events.delivered.end(),
                  [](const MessageObject& answer) { return !answer.MessageID.empty(); });
  if (!answered || !AllAnswered(events, messages.size()) || !ids)
    return session.FailSince(errors_before, operation);
  if (!options.wait_receipt) return kExitOk;
  // Receipts are printed as they arrive; the wait ends with the ones that
  // name this submission's ids (an SMSC may first deliver older ones).
  std::vector<std::string> wanted;
  for (const MessageObject& answer : events.delivered) wanted.push_back(answer.MessageID);
  const bool receipted =
      session.WaitUntil([&] { return AllReceipted(events, wanted) || events.connection_closed; });
  if (!receipted || !AllReceipted(events, wanted))
    return session.output().Fail(kExitTimeout, "no delivery receipt for " + wanted.front() +
                                                   " came within --timeout - does the SMSC send "
                                                   "receipts to this system_id?");
  return kExitOk;
}

}  // namespace korvane::client
