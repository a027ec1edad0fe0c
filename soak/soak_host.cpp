#include "soak/soak_host.hpp"

#include <chrono>
#include <functional>
#include <vector>

namespace korvane::soak {
namespace {

constexpr BindTypes kBindOrder[] = {BindTypes::SmppBindAsTransceiver,
                                    BindTypes::SmppBindAsTransmitter,
                                    BindTypes::SmppBindAsReceiver};
constexpr auto kTrafficCap = std::chrono::seconds(10);
constexpr int32_t kVendorTag = 0x1401;

bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kTrafficCap;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DoEvents();
  }
  return true;
}

}  // namespace

SoakHost::SoakHost(SoakSmsc& smsc, CycleShape shape) : smsc_(smsc), shape_(shape) {
  smpp_.Subscribe(*this);
  smpp_.SMPPServerAddress("127.0.0.1");
  smpp_.SMPPServerPort(smsc.Port());
  smpp_.SystemID("soak");
  smpp_.Password(Variant("secret"));
  smpp_.ProtocolID(ProtocolIDs::SMPPv34);
  smpp_.OperationsTimeout(5);
  smpp_.ConnectionTimeout(5);
  smpp_.AutoEnquireLinkInterval(1);  // the timer's enquire_link joins the traffic
}

SoakHost::~SoakHost() { smpp_.Unsubscribe(*this); }

void SoakHost::Problem(const std::string& text) {
  if (totals_.first_problem.empty()) totals_.first_problem = text;
}

void SoakHost::MessageDelivered(MessageObject& message) {
  ++totals_.responses;
  if (message.MessageID.empty()) Problem("a submit_sm_resp without message id");
}

void SoakHost::MessageStatusReceived(MessageObject&) { ++totals_.statuses; }

void SoakHost::MessageReceived(MessageObject& message) {
  const bool receipt = (static_cast<int>(message.MessageType) & 0x3C) == 0x04;
  ++(receipt ? totals_.receipts : totals_.received);
  if (receipt && message.GetOptionalParamStringValue(0x001E).empty())
    Problem("a receipt without receipted_message_id");
}

void SoakHost::Error(int32_t number, const std::string& source, const std::string& text) {
  if (binding_ && number == 98821) {
    ++totals_.ticks_inside_bind;
    return;
  }
  ++totals_.errors;
  Problem("Error " + std::to_string(number) + " from " + source + ": " + text);
}

// Every fourth message carries its body in message_payload; all carry a
// vendor TLV; even-numbered ones wait for their id.
void SoakHost::Submit(uint32_t number, bool with_receipt) {
  MessageObject message = smpp_.NewMessage();
  message.DestAddress = "4477009" + std::to_string(10000 + number % 90000);
  message.SourceAddress = "SOAK";
  if (number % 4 == 3) {
    message.Payload = std::vector<uint8_t>(300, static_cast<uint8_t>('a' + number % 26));
  } else {
    message.ShortMessage = "soak message " + std::to_string(number);
  }
  message.AddOptionalParamString(kVendorTag, "cycle " + std::to_string(totals_.cycles));
  if (with_receipt) message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  const bool waited = number % 2 == 0;
  const std::string id = smpp_.SendMessage(message, waited);
  if (message.SequenceNumber == 0) return;  // refused: reported through Error
  ++totals_.submitted;
  if (waited && id.empty()) {
    ++totals_.lost;
    Problem("a waited submission returned no id");
  }
}

void SoakHost::RunCycle() {
  const BindTypes type = kBindOrder[totals_.cycles % 3];
  ++totals_.cycles;
  const bool sends = type != BindTypes::SmppBindAsReceiver;
  const bool receives = type != BindTypes::SmppBindAsTransmitter;
  binding_ = true;
  const int16_t bound = smpp_.Bind(type);
  binding_ = false;
  if (bound != static_cast<int16_t>(type)) {
    ++totals_.errors;
    Problem("Bind failed");
    return;
  }
  ++totals_.binds;
  Expected expected{.responses = totals_.responses,
                    .links_ok = totals_.links_ok,
                    .statuses = totals_.statuses,
                    .enquiries_received = smsc_.counts().enquiries_received.load()};
  for (uint32_t link = 0; link < shape_.enquiries; ++link) {
    if (smpp_.EnquireLink()) ++expected.links_ok;
    ++expected.enquiries_received;
  }
  if (sends) {
    const uint64_t submitted_before = totals_.submitted;
    for (uint32_t number = 0; number < shape_.submissions; ++number)
      Submit(number, receives && number % 3 == 0);
    expected.responses += totals_.submitted - submitted_before;
    MessageObject query = smpp_.NewMessage();
    query.MessageID = "MSG1";
    query.SourceAddress = "SOAK";
    smpp_.QueryMessage(query, true);
    ++expected.statuses;
  }
  AwaitCycleTraffic(expected);
  smpp_.Unbind();
  if (unbound_ != totals_.binds) {
    ++totals_.lost;
    Problem("an unbind was not answered");
    unbound_ = totals_.binds;
  }
}

// Every count is cumulative, so traffic that a cycle leaves behind is still
// owed by the next one and by the final check.
bool SoakHost::Settled(const Expected& expected) const {
  const SmscCounts& smsc = smsc_.counts();
  // The SMSC counts a submit_sm after the receipt it triggers, so a receipt
  // is never missed here once its submit_sm shows.
  return totals_.responses >= expected.responses && totals_.links_ok >= expected.links_ok &&
         totals_.statuses >= expected.statuses && smsc.submits.load() >= totals_.submitted &&
         smsc.enquiries_received.load() >= expected.enquiries_received &&
         smsc.enquiries_answered.load() >= smsc.enquiries_sent.load() &&
         totals_.received + totals_.receipts >= smsc.deliveries_sent.load() &&
         smsc.deliveries_acknowledged.load() >= smsc.deliveries_sent.load();
}

void SoakHost::AwaitCycleTraffic(const Expected& expected) {
  if (PumpUntil([&] { return Settled(expected); })) return;
  ++totals_.lost;
  const SmscCounts& smsc = smsc_.counts();
  Problem("cycle " + std::to_string(totals_.cycles) + ": traffic missing after " +
          std::to_string(kTrafficCap.count()) + " s (responses " +
          std::to_string(totals_.responses) + "/" + std::to_string(expected.responses) +
          ", deliveries acknowledged " + std::to_string(smsc.deliveries_acknowledged.load()) + "/" +
          std::to_string(smsc.deliveries_sent.load()) + ")");
}

}  // namespace korvane::soak
