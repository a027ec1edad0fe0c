// The host side of the soak run: one session on the thread's own event loop
// that binds, submits, receives, enquires and unbinds in cycles, and checks
// after each cycle that nothing went missing on either side.
#pragma once

#include <cstdint>
#include <string>

#include "korvane/smpp.hpp"
#include "soak/soak_smsc.hpp"

namespace korvane::soak {

// Totals over the whole run, on the host's side.
struct HostTotals {
  uint64_t cycles = 0;
  uint64_t binds = 0;
  uint64_t submitted = 0;  // SendMessage calls that were sent
  uint64_t responses = 0;  // MessageDelivered
  uint64_t received = 0;   // MessageReceived: messages
  uint64_t receipts = 0;   // MessageReceived: delivery receipts
  uint64_t links_ok = 0;   // LinkOk
  uint64_t statuses = 0;   // MessageStatusReceived
  uint64_t errors = 0;     // Error events and failed binds or waits
  // Error 98821 from the automatic enquire_link when its tick falls inside
  // Bind's wait for the bind_resp: documented, so counted apart.
  uint64_t ticks_inside_bind = 0;
  uint64_t lost = 0;          // expected and never seen, either side
  std::string first_problem;  // the first error or loss, for the report
};

struct CycleShape {
  uint32_t submissions = 200;  // per transmitter or transceiver binding
  uint32_t enquiries = 2;      // enquire_link from the host per binding
};

class SoakHost : public SMPPEvents {
 public:
  SoakHost(SoakSmsc& smsc, CycleShape shape);
  ~SoakHost() override;

  // One bind-to-unbind cycle; the binding type goes round all three.
  void RunCycle();
  const HostTotals& totals() const { return totals_; }

  void Bound() override { ++bound_; }
  void UnBound() override { ++unbound_; }
  void LinkOk() override { ++totals_.links_ok; }
  void MessageDelivered(MessageObject& message) override;
  void MessageStatusReceived(MessageObject& message) override;
  void MessageReceived(MessageObject& message) override;
  void Error(int32_t number, const std::string& source, const std::string& text) override;

 private:
  // The counts a cycle must reach besides those that follow the SMSC's own.
  struct Expected {
    uint64_t responses = 0;
    uint64_t links_ok = 0;
    uint64_t statuses = 0;
    uint64_t enquiries_received = 0;  // at the SMSC
  };

  void Submit(uint32_t number, bool with_receipt);
  bool Settled(const Expected& expected) const;
  // Pumps events until the counts expected for this cycle are reached on both
  // sides; what is still missing after a generous cap counts as lost.
  void AwaitCycleTraffic(const Expected& expected);
  void Problem(const std::string& text);

  SoakSmsc& smsc_;
  const CycleShape shape_;
  SMPP smpp_;
  HostTotals totals_;
  bool binding_ = false;  // inside Bind
  uint64_t bound_ = 0;
  uint64_t unbound_ = 0;
};

}  // namespace korvane::soak
