// Submissions over real TCP against the loopback SMSC.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/loopback_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::CommandIdOf;
using testing::HexText;
using testing::SequenceNumberOf;
using Names = std::vector<std::string>;

using LoopbackSubmitTest = testing::LoopbackFixture;

TEST_F(LoopbackSubmitTest, WaitedSubmissionsReturnTheSmscsIds) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  MessageObject message = smpp.NewMessage();
  message.DestAddress = "1234";
  message.ShortMessage = "Hello";
  EXPECT_EQ(smpp.SendMessage(message, true), "MSG4");
  EXPECT_EQ(message.MessageID, "MSG4");
  ASSERT_TRUE(smsc.WaitForReceived(2));
  EXPECT_EQ(HexText(smsc.Received()[1]),
            "00 00 00 2A 00 00 00 04 00 00 00 00 00 00 00 04 00 00 00 00 00 00 31 32 33 34 00 "
            "00 34 00 00 00 00 00 00 00 05 48 65 6C 6C 6F");

  message.DestAddress = "";
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
  message.AddDistributionList("friends");
  EXPECT_EQ(smpp.SendMessage(message, true), "MSG5");
  ASSERT_TRUE(smsc.WaitForReceived(3));
  EXPECT_EQ(CommandIdOf(smsc.Received()[2]), 0x00000021u);
  EXPECT_EQ(SequenceNumberOf(smsc.Received()[2]), 5u);
  EXPECT_EQ(events.Names(), (Names{"MessageDelivered", "MessageDelivered"}));
}

TEST_F(LoopbackSubmitTest, ASilentSmscLetsTheWaitEndAfterTheTimeout) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.SetSilent(true);
  MessageObject message;
  message.DestAddress = "1234";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(smpp.SendMessage(message, true), "");
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited.count(), 0.9);  // OperationsTimeout is 1 second
  EXPECT_LT(waited.count(), 3.0);
  EXPECT_EQ(message.MessageID, "");
}

}  // namespace
}  // namespace korvane
