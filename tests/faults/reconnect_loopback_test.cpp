// The automatic rebind over real TCP: the loopback SMSC closes the bound
// connection, the session binds again by itself and a submission made in
// between goes out on the new connection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/session.hpp"
#include "support/loopback_fixture.hpp"

namespace korvane::testing {
namespace {

using ReconnectLoopbackTest = LoopbackFixture;

TEST_F(ReconnectLoopbackTest, BindsAgainAfterThePeerClosesAndSendsWhatWaited) {
  smpp.AutoReconnect(true);
  smpp.ReconnectInitialDelayMs(20);
  session::Session::Of(smpp).reconnector().UseJitter([] { return 0.0; });
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.Close();
  ASSERT_TRUE(PumpUntilEvent("Reconnecting"));
  MessageObject message;
  message.DestAddress = "1234";
  std::vector<SubmitOutcome> outcomes;
  ASSERT_TRUE(
      smpp.SubmitAsync(message, [&](const SubmitResult& r) { outcomes.push_back(r.Outcome); }));
  ASSERT_TRUE(PumpUntil(loop, [&] { return !outcomes.empty(); }));
  std::string names;
  for (const RecordedEvent& event : events.events)
    if (event.name != "Error" && event.name != "Warning") names += event.name + event.text + " ";
  EXPECT_EQ(names, "ConnectionClosed Reconnecting20 Bound Reconnected MessageDelivered ");
  EXPECT_EQ(outcomes, std::vector<SubmitOutcome>{SubmitOutcome::Accepted});
}

}  // namespace
}  // namespace korvane::testing
