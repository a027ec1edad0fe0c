// The SMSC side of the soak run: the loopback test SMSC on its own thread,
// answering as an SMSC does and pushing traffic of its own. On each
// bind_receiver or bind_transceiver it delivers a batch of mobile-originated
// deliver_sm and sends one enquire_link; on a transceiver binding each
// submit_sm that asks for a receipt is followed by a delivery receipt. It
// keeps counts instead of the PDUs, so its memory stays flat however long it
// runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "support/loopback_smsc.hpp"

namespace korvane::soak {

// What the SMSC has received and sent; read from the host's thread.
struct SmscCounts {
  std::atomic<uint64_t> binds{0};
  std::atomic<uint64_t> submits{0};
  std::atomic<uint64_t> queries{0};
  std::atomic<uint64_t> deliveries_sent{0};  // deliver_sm: messages and receipts
  std::atomic<uint64_t> deliveries_acknowledged{0};
  std::atomic<uint64_t> enquiries_sent{0};
  std::atomic<uint64_t> enquiries_answered{0};
  std::atomic<uint64_t> enquiries_received{0};
  std::atomic<uint64_t> unbinds{0};
  std::atomic<uint64_t> unexpected{0};  // a PDU the soak host should never send
};

class SoakSmsc {
 public:
  // `messages_per_bind`: deliver_sm pushed after each receiver or
  // transceiver bind.
  explicit SoakSmsc(uint32_t messages_per_bind);

  uint16_t Port() const { return smsc_.Port(); }
  const SmscCounts& counts() const { return counts_; }

 private:
  using Octets = testing::LoopbackSmsc::Octets;
  std::vector<Octets> Answer(const Octets& pdu);
  Octets DeliverSm(const std::vector<uint8_t>& body);

  const uint32_t messages_per_bind_;
  SmscCounts counts_;
  uint32_t next_sequence_ = 1;  // SMSC thread only
  bool delivering_ = false;     // the binding may receive; SMSC thread only
  testing::LoopbackSmsc smsc_;  // last: its thread calls Answer
};

}  // namespace korvane::soak
