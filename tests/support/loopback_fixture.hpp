// A session on its own Asio loop, bound against the loopback SMSC over real
// TCP, for the integration tests: the library's loop runs on the test
// thread, the SMSC on its own thread.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <string>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/loopback_smsc.hpp"
#include "support/pump_until.hpp"

namespace korvane::testing {

class LoopbackFixture : public ::testing::Test {
 protected:
  LoopbackFixture() : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SMPPServerPort(smsc.Port());
    smpp.SystemID("abc");
    smpp.ProtocolID(static_cast<ProtocolIDs>(52));
    smpp.OperationsTimeout(1);
    smpp.ConnectionTimeout(1);
  }

  // Binds against the willing SMSC and forgets the events that took.
  void BindAs(BindTypes type) {
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  // Pumps the session's loop until an event of this name was raised.
  bool PumpUntilEvent(const std::string& name,
                      std::chrono::milliseconds cap = std::chrono::seconds(2)) {
    return PumpUntil(
        loop, [&] { return !events.Named(name).empty(); }, cap);
  }

  // Pumps the session's loop until the SMSC has received `count` PDUs.
  bool PumpUntilReceived(std::size_t count) {
    return PumpUntil(loop, [&] { return smsc.Received().size() >= count; });
  }

  // The SMSC outlives the session, whose destruction unbinds against it.
  LoopbackSmsc smsc;
  EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
};

}  // namespace korvane::testing
