// The received byte stream: arbitrary octets, cut where the input says,
// arrive on a bound session's socket between other socket events and host
// calls; the session frames and dispatches them, then is destroyed.
//
// Input: one options octet, then records of a control octet, a two-octet
// big-endian length and that many octets (fewer at the end of the input).
// The first record's octets answer the bind request, so an input that
// starts with a valid bind response works on a bound session. Each later
// record happens (control >> 3) x 10 ms of virtual time after the one
// before; its kind is control & 7:
//   0..3  its octets arrive on the socket
//   4     the peer closes the connection
//   5     the connection is reset (Winsock 10054)
//   6     the connection is aborted (Winsock 10053)
//   7     a host call, chosen by its first octet, the rest its argument
// Host calls run wherever the virtual time finds them, which may be inside
// a wait that an event handler started.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/smpp.hpp"
#include "support/fuzz_session.hpp"

namespace {

using korvane::MessageObject;
using korvane::fuzzing::FuzzSession;
using std::chrono::milliseconds;

struct Options {
  bool trace;
  bool debug;
  korvane::BindTypes bind_type;
  bool host_acts_in_handlers;
  bool auto_enquire_link;
  bool force_no_payload;
};

Options OptionsOf(uint8_t octet) {
  static constexpr korvane::BindTypes kBindTypes[] = {
      korvane::BindTypes::SmppBindAsTransceiver, korvane::BindTypes::SmppBindAsReceiver,
      korvane::BindTypes::SmppBindAsTransmitter, korvane::BindTypes::SmppBindAsTransceiver};
  return {.trace = (octet & 0x01) != 0,
          .debug = (octet & 0x02) != 0,
          .bind_type = kBindTypes[(octet >> 2) & 3],
          .host_acts_in_handlers = (octet & 0x10) != 0,
          .auto_enquire_link = (octet & 0x20) != 0,
          .force_no_payload = (octet & 0x40) != 0};
}

struct Record {
  uint8_t kind;
  milliseconds delay;
  std::vector<uint8_t> octets;
};

// Cuts the input into records; a truncated last record keeps what is there.
std::vector<Record> RecordsOf(std::span<const uint8_t> input) {
  std::vector<Record> records;
  while (!input.empty()) {
    const uint8_t control = input[0];
    std::size_t length = 0;
    if (input.size() >= 3) length = std::size_t{input[1]} << 8 | input[2];
    input = input.subspan(std::min<std::size_t>(3, input.size()));
    length = std::min(length, input.size());
    records.push_back({static_cast<uint8_t>(control & 7), milliseconds((control >> 3) * 10),
                       std::vector<uint8_t>(input.begin(), input.begin() + length)});
    input = input.subspan(length);
  }
  return records;
}

std::string TextOf(std::span<const uint8_t> octets) { return {octets.begin(), octets.end()}; }

// A message whose fields come from `argument`, as a host might fill them.
MessageObject MessageFrom(std::span<const uint8_t> argument) {
  MessageObject message;
  const std::string text = TextOf(argument);
  message.DestAddress = text.substr(0, 21);
  message.SourceAddress = text.substr(0, 8);
  message.MessageID = text;
  message.ShortMessage = korvane::Variant(text);
  if (!argument.empty() && (argument[0] & 1))
    message.Payload = korvane::Variant(std::vector<uint8_t>(argument.begin(), argument.end()));
  if (!argument.empty() && (argument[0] & 2)) message.AddRecipient({}, {}, text.substr(0, 5));
  message.RegisteredDelivery = korvane::RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  return message;
}

std::string HexOf(std::span<const uint8_t> octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const uint8_t octet : octets) {
    text += kDigits[octet >> 4];
    text += kDigits[octet & 15];
    text += ' ';
  }
  return text;
}

void HostCall(FuzzSession& s, std::span<const uint8_t> octets) {
  if (octets.empty()) return;
  const std::span<const uint8_t> argument = octets.subspan(1);
  MessageObject message = MessageFrom(argument);
  switch (octets[0] % 12) {
    case 0:
      s.smpp.EnquireLink();
      break;
    case 1:
      s.smpp.SendMessage(message, false);
      break;
    case 2:
      s.smpp.SendMessage(message, true);
      break;
    case 3:
      s.smpp.QueryMessage(message, true);
      break;
    case 4:
      s.smpp.CancelMessage(message);
      break;
    case 5:
      s.smpp.DeliverShortMessage(message);
      break;
    case 6:
      s.smpp.Unbind();
      break;
    case 7:
      s.smpp.Bind(korvane::BindTypes::SmppBindAsTransceiver);
      break;
    case 8:
      try {
        s.smpp.DebugPDU(HexOf(argument));
      } catch (const korvane::ComponentError&) {
      }
      break;
    case 9:
      s.smpp.EnableTraceMessages(!s.smpp.EnableTraceMessages());
      break;
    case 10:
      s.smpp.AutoEnquireLinkInterval(s.smpp.AutoEnquireLinkInterval() > 0 ? 0 : 1);
      break;
    default:  // possibly while an event is raised: the sink moves to the end of the list
      s.smpp.Unsubscribe(s.sink);
      s.smpp.Subscribe(s.sink);
      break;
  }
}

// A host that answers what it hears: a received message goes back out as
// a submission and as a deliver_sm, every response is queried, a link
// event is answered with an enquire_link. Bounded, so that handlers that
// send cannot recurse without end.
void ActInHandlers(FuzzSession& s, int& depth) {
  s.sink.on_message = [&s, &depth](MessageObject& message) {
    if (depth > 2) return;
    ++depth;
    MessageObject copy = message;
    s.smpp.SendMessage(copy, false);
    s.smpp.DeliverShortMessage(copy);
    s.smpp.QueryMessage(copy, false);
    --depth;
  };
  s.sink.on_link_event = [&s, &depth] {
    if (depth > 2) return;
    ++depth;
    s.smpp.EnquireLink();
    --depth;
  };
}

void Schedule(FuzzSession& s, Record record, milliseconds at) {
  s.environment.At(at, [&s, record = std::move(record)] {
    switch (record.kind) {
      case 4:
        s.socket.PeerClose();
        break;
      case 5:
        s.socket.Fail(10054, "Connection reset by peer");
        break;
      case 6:
        s.socket.Fail(10053, "Software caused connection abort");
        break;
      case 7:
        HostCall(s, record.octets);
        break;
      default:
        s.socket.Receive(record.octets);
        break;
    }
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Options options = OptionsOf(data[0]);
  std::vector<Record> records = RecordsOf({data + 1, size - 1});

  int depth = 0;
  FuzzSession s;
  s.smpp.EnableTraceMessages(options.trace);
  s.smpp.EnableDebugMessages(options.debug);
  s.smpp.ForceNoPayloadFieldUsage = options.force_no_payload;
  if (options.auto_enquire_link) s.smpp.AutoEnquireLinkInterval(1);
  if (options.host_acts_in_handlers) ActInHandlers(s, depth);

  std::vector<uint8_t> bind_answer;
  if (!records.empty()) bind_answer = std::move(records.front().octets);
  s.Bind(options.bind_type, std::move(bind_answer));

  milliseconds at{0};
  for (std::size_t i = 1; i < records.size(); ++i) {
    at += records[i].delay;
    Schedule(s, std::move(records[i]), at);
  }
  // Everything scheduled happens, and the link timer gets a couple of ticks.
  s.environment.Advance(at + milliseconds(2500));
  return 0;
}
