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
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/fuzz_session.hpp"

namespace {

using namespace korvane;
using std::chrono::milliseconds;

// A host call, chosen by the first octet, with a message made of the rest
// as a host might fill it.
void HostCall(fuzzing::FuzzSession& s, const std::vector<uint8_t>& octets) {
  if (octets.empty()) return;
  const std::vector<uint8_t> argument(octets.begin() + 1, octets.end());
  const std::string text(argument.begin(), argument.end());
  MessageObject message;
  message.DestAddress = text.substr(0, 21);
  message.SourceAddress = text.substr(0, 8);
  message.MessageID = text;
  message.ShortMessage = Variant(text);
  if (!argument.empty() && (argument[0] & 1)) message.Payload = Variant(argument);
  if (!argument.empty() && (argument[0] & 2)) message.AddRecipient({}, {}, text.substr(0, 5));
  message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  const std::function<void()> calls[] = {
      [&] { s.smpp.EnquireLink(); },
      [&] { s.smpp.SendMessage(message, false); },
      [&] { s.smpp.SendMessage(message, true); },
      [&] { s.smpp.QueryMessage(message, true); },
      [&] { s.smpp.CancelMessage(message); },
      [&] { s.smpp.DeliverShortMessage(message); },
      [&] { s.smpp.Unbind(); },
      [&] { s.smpp.Bind(BindTypes::SmppBindAsTransceiver); },
      [&] { s.smpp.EnableTraceMessages(!s.smpp.EnableTraceMessages()); },
      [&] { s.smpp.AutoEnquireLinkInterval(s.smpp.AutoEnquireLinkInterval() > 0 ? 0 : 1); },
      [&] {  // possibly while an event is raised: the recorder moves to the end of the list
        s.smpp.Unsubscribe(s.events);
        s.smpp.Subscribe(s.events);
      }};
  calls[octets[0] % std::size(calls)]();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  fuzzing::FuzzSession s;
  s.smpp.EnableTraceMessages(options & 0x01);
  s.smpp.EnableDebugMessages(options & 0x02);
  s.smpp.ForceNoPayloadFieldUsage = (options & 0x40) != 0;
  if (options & 0x20) s.smpp.AutoEnquireLinkInterval(1);
  // A host that answers what it hears: a received message goes back out as
  // a submission, a deliver_sm and a query; a link event is answered with
  // an enquire_link. Bounded, so that handlers that send cannot recurse
  // without end.
  int depth = 0;
  if (options & 0x10) {
    s.on_event = [&](const testing::RecordedEvent& event) {
      if (depth > 2) return;
      ++depth;
      MessageObject copy = event.message;
      if (event.name == "LinkOk" || event.name == "GenericNACK") s.smpp.EnquireLink();
      if (event.name.starts_with("Message")) {
        s.smpp.SendMessage(copy, false);
        s.smpp.DeliverShortMessage(copy);
        s.smpp.QueryMessage(copy, false);
      }
      --depth;
    };
  }

  // Cuts the next record off the input: its control octet and its octets.
  std::span<const uint8_t> input(data + 1, size - 1);
  uint8_t control = 0;
  const auto next = [&] {
    control = input.empty() ? 0 : input[0];
    const std::size_t length = input.size() >= 3 ? std::size_t{input[1]} << 8 | input[2] : 0;
    input = input.subspan(std::min<std::size_t>(3, input.size()));
    std::vector<uint8_t> octets(input.begin(), input.begin() + std::min(length, input.size()));
    input = input.subspan(octets.size());
    return octets;
  };
  const int bind = (options >> 2) & 3;  // 0 and 3: transceiver
  s.Bind(static_cast<BindTypes>(bind == 0 ? 3 : bind), next());
  milliseconds at{0};
  while (!input.empty()) {
    std::vector<uint8_t> octets = next();
    at += milliseconds((control >> 3) * 10);
    s.environment.At(at, [&s, kind = control & 7, octets = std::move(octets)] {
      if (kind == 4) s.socket.PeerClose();
      if (kind == 5) s.socket.Fail(10054, "Connection reset by peer");
      if (kind == 6) s.socket.Fail(10053, "Software caused connection abort");
      if (kind == 7) HostCall(s, octets);
      if (kind < 4) s.socket.Receive(octets);
    });
  }
  // Everything scheduled happens, and the link timer gets a couple of ticks.
  s.environment.Advance(at + milliseconds(2500));
  return 0;
}
