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

class ReconnectLoopbackTest : public LoopbackFixture {};

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
  std::vector<std::string> names;
  for (const std::string& name : events.Names())
    if (name != "Error" && name != "Warning") names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"ConnectionClosed", "Reconnecting", "Bound",
                                             "Reconnected", "MessageDelivered"}));
  EXPECT_EQ(events.Named("Reconnecting").front().text, "20");
  EXPECT_EQ(outcomes, std::vector<SubmitOutcome>{SubmitOutcome::Accepted});
  EXPECT_TRUE(smpp.ConnectedAndBound);
}

}  // namespace
}  // namespace korvane::testing
