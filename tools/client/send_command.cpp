// send: one submit_sm, or a submit_multi for several destinations.
#include <string>

#include "commands.hpp"
#include "exit_codes.hpp"

namespace korvane::client {
namespace {

template <typename Enum>
Enum As(int value) {
  return static_cast<Enum>(value);
}

MessageObject MessageOf(const SendOptions& options, SMPP& smpp) {
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
  // A text goes one octet per character; a binary body as bytes, sent whole.
  Variant body = options.body_is_text ? Variant(std::string(options.body.begin(), options.body.end()))
                                      : Variant(options.body);
  if (options.payload) {
    message.Payload = Variant(options.body);
  } else {
    message.ShortMessage = std::move(body);
  }
  message.DataCoding = As<SMSDataCodingSchemes>(options.data_coding);
  message.RegisteredDelivery = As<RegisteredDeliveryTypes>(options.registered_delivery);
  message.ValiditySeconds = static_cast<int16_t>(options.validity_seconds);
  message.ValidityHours = static_cast<int16_t>(options.validity_hours);
  message.ValidityRelative = !options.absolute_validity;
  message.ScheduledDeliveryTime = options.schedule;
  for (const OptionalParameter& tlv : options.tlvs)
    message.AddOptionalParamByte(tlv.tag, Variant(tlv.value));
  return message;
}

void PrintMessageId(Output& output, const MessageObject& answer) {
  output.Result("message_id", {{"id", answer.MessageID}}, "message id: " + answer.MessageID);
  for (const Recipient& failed : answer.Recipients)
    output.Result("unsuccessful",
                  {{"address", failed.Address}, {"status", int64_t{failed.StatusCode}}},
                  "not accepted for " + failed.Address + ": status " +
                      std::to_string(failed.StatusCode));
}

}  // namespace

int RunSend(const SendOptions& options, ClientSession& session) {
  SessionEvents& events = session.events();
  MessageObject message = MessageOf(options, session.smpp());
  const std::size_t errors_before = events.errors.size();
  session.smpp().SendMessage(message, false);
  if (message.SequenceNumber == 0)
    return session.output().Fail(
        kExitUsage, "the message was not sent: " +
                        (events.errors.size() > errors_before ? events.errors[errors_before].text
                                                             : std::string("refused")) +
                        " - check the values given");
  const char* operation = message.DestAddress.empty() ? "submit_multi" : "submit_sm";
  session.output().Note("sent", {{"pdu", std::string(operation)}, {"sequence", int64_t{message.SequenceNumber}}},
                        std::string("sent ") + operation + " (sequence " +
                            std::to_string(message.SequenceNumber) + ")");
  if (!options.wait) {
    // The unbind that follows goes out behind the submission, and its wait
    // lets the answer arrive.
    session.Finish(kExitOk);
    if (!events.delivered.empty()) PrintMessageId(session.output(), events.delivered.front());
    return events.errors.size() > errors_before ? session.FailSince(errors_before, operation)
                                                : kExitOk;
  }
  const bool answered = session.WaitUntil([&] {
    return !events.delivered.empty() || events.errors.size() > errors_before ||
           events.connection_closed;
  });
  if (!answered || events.delivered.empty() || events.delivered.front().MessageID.empty())
    return session.FailSince(errors_before, operation);
  PrintMessageId(session.output(), events.delivered.front());
  if (!options.wait_receipt) return kExitOk;
  // The receipt is printed as it arrives, like every received message.
  const bool receipted = session.WaitUntil(
      [&] { return events.receipts_received > 0 || events.connection_closed; });
  if (!receipted || events.receipts_received == 0)
    return session.output().Fail(kExitTimeout, "no delivery receipt came within --timeout - "
                                               "does the SMSC send receipts to this system_id?");
  return kExitOk;
}

}  // namespace korvane::client
