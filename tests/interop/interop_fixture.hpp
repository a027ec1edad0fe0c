// A session on the test thread's Asio loop against the npm `smpp` peer as
// SMSC. Skips where node is absent; fails where node is present but the
// peer's package is not installed or the peer does not start.
#pragma once

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <optional>
#include <string>

#include "interop/npm_peer.hpp"
#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/pump_until.hpp"

namespace korvane::testing {

class InteropFixture : public ::testing::Test {
 protected:
  InteropFixture() : smpp(loop) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("127.0.0.1");
    smpp.SystemID("korvane");
    smpp.Password(Variant("secret"));
    smpp.ProtocolID(ProtocolIDs::SMPPv34);
    // Generous for a loaded machine: a wait ends as soon as its answer came.
    smpp.OperationsTimeout(10);
    smpp.ConnectionTimeout(10);
  }

  void SetUp() override {
    const std::string node = NpmPeer::FindNode();
    if (node.empty())
      GTEST_SKIP() << "node not found: the interoperability tests need node on PATH";
    ASSERT_TRUE(NpmPeer::ModulesInstalled())
        << "npm smpp 0.5.1 is not installed in " << NpmPeer::ModulesDirectory()
        << " (the npm_smpp_peer set-up test installs it)";
    peer.emplace(node);
    ASSERT_TRUE(peer->Listening()) << peer->Problem();
    smpp.SMPPServerPort(peer->Port());
  }

  // Binds, checks the peer's decode of the bind, and forgets the events.
  void BindAs(BindTypes type, const std::string& command) {
    ASSERT_EQ(smpp.Bind(type), static_cast<int16_t>(type)) << Transcript();
    const auto bind = peer->WaitForReceived(loop, command);
    ASSERT_TRUE(bind) << Transcript();
    EXPECT_EQ(ValueOf(*bind, "system_id"), "korvane");
    EXPECT_EQ(ValueOf(*bind, "password"), "secret");
    EXPECT_EQ(ValueOf(*bind, "interface_version"), "52");
    events.events.clear();
  }

  bool PumpUntilEvent(const std::string& name) {
    return PumpUntil(
        loop, [&] { return !events.Named(name).empty(); }, std::chrono::seconds(5));
  }

  // The peer's lines and the session's events, for failure messages.
  std::string Transcript() const {
    std::string text = peer ? peer->Transcript() : std::string();
    for (const RecordedEvent& event : events.events) {
      if (event.name == "TraceLog" || event.name == "DebugLog") continue;
      text +=
          "  event: " + event.name + " " + std::to_string(event.number) + " " + event.text + "\n";
    }
    return text;
  }

  // Declared first, destroyed last: the session's destruction unbinds
  // against it.
  std::optional<NpmPeer> peer;
  EventRecorder events;
  asio::io_context loop;
  SMPP smpp;
};

}  // namespace korvane::testing
