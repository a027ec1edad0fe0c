// A session on its own Asio loop, bound over real TCP against the loopback
// SMSC, for the tests that need a real socket.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
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
  ~LoopbackFixture() override { events.on_event = nullptr; }

  // Binds against the willing SMSC and forgets the events that took.
  void BindAs(BindTypes type) {
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type));
    events.events.clear();
  }

  // Pumps the session's loop until an event of this name was raised.
  bool PumpUntilEvent(const std::string& name) {
    return PumpUntil(loop, [&] { return !events.Named(name).empty(); });
  }

  // The SMSC outlives the session, whose destruction unbinds against it.
  LoopbackSmsc smsc;
  EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
};

}  // namespace korvane::testing
