// The deliver_sm encoder, byte for byte.
#include "encoders/deliver_encoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvane/message_object.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using encoders::DeliverContext;
using encoders::EncodeDeliver;
using testing::ErrorNumberOf;
using testing::HexText;
using testing::Octets;

class DeliverEncoderTest : public ::testing::Test {
 protected:
  DeliverEncoderTest() { message.DestAddress = "1234"; }

  std::string Encode() { return HexText(EncodeDeliver(message, context, 4)); }
  // The octets from sm_length on.
  std::string Tail() { return Encode().substr(kDefaultLength * 3 - 3); }

  static constexpr std::size_t kDefaultLength = 37;
  MessageObject message;
  DeliverContext context{
      .protocol_id = 52, .now = DateTime(2004, 3, 9, 14, 5, 7), .time_zone_suffix = "04+"};
};

TEST_F(DeliverEncoderTest, DefaultMessageIsThe37OctetDeliverSm) {
  constexpr const char* kDefault =
      "00 00 00 25 00 00 00 05 00 00 00 00 00 00 00 04 "
      "00 00 00 00 00 00 31 32 33 34 00 00 34 00 00 00 00 00 00 00 00";
  EXPECT_EQ(Encode(), kDefault);
  // The recipient list, the reference and the host's parameters are not sent.
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
  message.DestAddress = "1234";
  message.UserMessageReference("300");
  message.AddOptionalParamString(0x1403, "abc");
  message.Payload = "unused";
  EXPECT_EQ(Encode(), kDefault);
}

TEST_F(DeliverEncoderTest, FieldsTimesAndFlagsInTheirPlaces) {
  message.ServiceType = "CMT";
  message.SourceAddress = "44";
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.DestAddressTON = AddressTypeOfNumbers::tonNational;
  message.MessageMode = MessagingModes::StoreAndForward;
  message.Priority = PriorityFlags::pfUrgent;
  message.ScheduledDeliveryTime = DateTime(2004, 3, 10, 8, 0, 0);
  message.ValidityHours = 2;
  message.ValiditySeconds = 30;  // ignored, as are the other validity fields
  message.ValidityRelative = true;
  message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  message.ReplaceIfPresent = true;
  message.DataCoding = SMSDataCodingSchemes::dcsUCS2;
  message.DefaultMsgId(7);
  message.ShortMessage = "Hi";
  EXPECT_EQ(Encode(),
            "00 00 00 4C 00 00 00 05 00 00 00 00 00 00 00 04 43 4D 54 00 01 01 34 34 00 02 00 31 "
            "32 33 34 00 03 34 02 " +
                HexText(Octets("040310080000004+")) + " 00 " + HexText(Octets("040309160507004+")) +
                " 00 01 01 08 07 02 48 69");
  for (const int16_t hours : {0, -3}) {
    message.ValidityHours = hours;
    message.ScheduledDeliveryTime = DateTime();
    EXPECT_EQ(Encode().substr(32 * 3, 17), "03 34 02 00 00 01") << hours;
  }
}

TEST_F(DeliverEncoderTest, PayloadModeFollowsMessageTypeAndTheSessionSwitch) {
  message.ShortMessage = "Hello";
  EXPECT_EQ(Tail(), "05 48 65 6C 6C 6F");
  context.force_no_payload = true;
  message.MessageType = MessageTypes::escmSMSCDeliveryReceipt;
  EXPECT_EQ(Tail(), "05 48 65 6C 6C 6F");
  context.force_no_payload = false;
  EXPECT_EQ(Tail(), "00 04 24 00 05 48 65 6C 6C 6F");
  // In payload mode the text is not cut; a byte body goes out as it is.
  message.ShortMessage = std::string(300, 'x');
  EXPECT_EQ(Tail().substr(0, 14), "00 04 24 01 2C");
  message.MessageType = MessageTypes{};
  message.ShortMessage = Variant(std::vector<uint8_t>{0x00, 0xFF});
  EXPECT_EQ(Tail(), "02 00 FF");
}

TEST_F(DeliverEncoderTest, CallbackNumberCarriesTheSourceTonAndNpi) {
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.CallbackNumberTON = AddressTypeOfNumbers::tonNational;  // not used here
  message.CallbackNumber = "12345";
  EXPECT_EQ(Tail(), "00 03 81 00 08 00 01 01 31 32 33 34 35");
  message.CallbackNumber = "   ";
  EXPECT_EQ(Tail(), "00");
  message.CallbackNumber = "+44 7700 900 001 22";
  EXPECT_EQ(Tail(), "00 03 81 00 12 01 01 01 " + HexText(Octets("+44 7700 900 00")));
}

TEST_F(DeliverEncoderTest, ValuesThatDoNotFitAreRefused) {
  const auto refusal = [&](auto change) {
    MessageObject saved = message;
    change();
    const int32_t number = ErrorNumberOf([&] { EncodeDeliver(message, context, 4); });
    message = saved;
    return number;
  };
  EXPECT_EQ(refusal([&] { message.ShortMessage = std::string(256, 'x'); }), 6);
  EXPECT_EQ(refusal([&] { message.SourceAddressTON = AddressTypeOfNumbers{256}; }), 6);
  EXPECT_EQ(refusal([&] { message.DestAddressNPI = AddressNumberPlanIndicators{-1}; }), 6);
  EXPECT_EQ(refusal([&] {
              message.MessageType = MessageTypes{200};
              message.MessageMode = MessagingModes{100};
            }),
            6);
  EXPECT_EQ(refusal([&] { message.Priority = PriorityFlags{300}; }), 6);
  EXPECT_EQ(refusal([&] { message.DataCoding = SMSDataCodingSchemes{256}; }), 6);
  EXPECT_EQ(refusal([&] { context.protocol_id = 300; }), 6);
  EXPECT_EQ(refusal([&] {
              message.DestAddress = std::string(
                  "12\0"
                  "34",
                  5);
            }),
            5);
  EXPECT_EQ(refusal([&] { message.ScheduledDeliveryTime = DateTime(2004, 13, 40); }), 5);
  context.protocol_id = 52;
  EXPECT_EQ(refusal([&] { message.ShortMessage = std::string(255, 'x'); }), 0);
}

}  // namespace
}  // namespace korvane
