// Reception over real TCP against the loopback SMSC.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::HexText;
using testing::MakePdu;

using LoopbackReceptionTest = testing::LoopbackFixture;

TEST_F(LoopbackReceptionTest, DeliveryReceiptIsAcknowledgedAndRaised) {
  BindAs(BindTypes::SmppBindAsReceiver);
  const std::string receipt = "id:MSG4 sub:001 dlvrd:001 stat:DELIVRD err:000 text:Hello";
  std::vector<uint8_t> body =
      testing::Hex("00 01 01 34 34 37 39 00 01 01 31 32 33 34 35 00 04 00 00 00 00 00 00 00 00");
  body.push_back(static_cast<uint8_t>(receipt.size()));
  body.insert(body.end(), receipt.begin(), receipt.end());
  for (const uint8_t octet : testing::Hex("00 1E 00 05 4D 53 47 34 00 04 27 00 01 02"))
    body.push_back(octet);
  smsc.Send(MakePdu(0x00000005, 0, 0x1234, body));

  ASSERT_TRUE(PumpUntilEvent("MessageReceived"));
  const MessageObject message = events.Named("MessageReceived")[0].message;
  EXPECT_EQ(message.MessageType, MessageTypes::escmSMSCDeliveryReceipt);
  EXPECT_EQ(message.ShortMessage.Text(), receipt);
  EXPECT_EQ(message.MessageState, MessageStates::Delivered);
  EXPECT_EQ(message.GetOptionalParamStringValue(0x001E), std::string("MSG4\0", 5));
  EXPECT_EQ(message.SequenceNumber, 0x1234);
  ASSERT_TRUE(smsc.WaitForReceived(2));
  EXPECT_EQ(HexText(smsc.Received()[1]), "00 00 00 11 80 00 00 05 00 00 00 00 00 00 12 34 00");
}

}  // namespace
}  // namespace korvane
