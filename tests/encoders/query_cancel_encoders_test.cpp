// The query_sm and cancel_sm encoders, byte for byte.
#include "encoders/query_cancel_encoders.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.hpp"

namespace korvane {
namespace {

using encoders::EncodeCancel;
using encoders::EncodeQuery;
using testing::ErrorNumberOf;
using testing::HexText;

TEST(QueryEncoderTest, EmptyQueryIs20OctetsAndFieldsFollowInOrder) {
  MessageObject message;
  EXPECT_EQ(HexText(EncodeQuery(message, 5)),
            "00 00 00 14 00 00 00 03 00 00 00 00 00 00 00 05 00 00 00 00");
  message.MessageID = "MSG1";
  message.SourceAddress = "4479";
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
  EXPECT_EQ(HexText(EncodeQuery(message, 0x01020304)),
            "00 00 00 1C 00 00 00 03 00 00 00 00 01 02 03 04 4D 53 47 31 00 01 01 34 34 37 39 00");
}

TEST(QueryEncoderTest, LengthTakesAllFourOctets) {
  MessageObject message;
  message.MessageID = std::string(300, '7');
  const auto pdu = EncodeQuery(message, 5);
  ASSERT_EQ(pdu.size(), 320u);
  EXPECT_EQ(HexText({pdu.begin(), pdu.begin() + 4}), "00 00 01 40");
}

TEST(CancelEncoderTest, LayoutWithOnlyAMessageIdAndWithEveryField) {
  MessageObject message;
  message.MessageID = "MSG1";
  EXPECT_EQ(HexText(EncodeCancel(message, 9)),
            "00 00 00 1C 00 00 00 08 00 00 00 00 00 00 00 09 00 4D 53 47 31 00 00 00 00 00 00 00");
  message.ServiceType = "CMT";
  message.SourceAddress = "44";
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  // The recipient list is not used.
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
  message.DestAddress = "55";
  message.DestAddressNPI = AddressNumberPlanIndicators::npiNational;
  EXPECT_EQ(HexText(EncodeCancel(message, 9)),
            "00 00 00 23 00 00 00 08 00 00 00 00 00 00 00 09 43 4D 54 00 4D 53 47 31 00 01 00 "
            "34 34 00 00 08 35 35 00");
}

TEST(QueryCancelEncodersTest, UnfitValuesAreRefused) {
  MessageObject message;
  message.SourceAddressNPI = AddressNumberPlanIndicators{256};
  EXPECT_EQ(ErrorNumberOf([&] { EncodeQuery(message, 1); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { EncodeCancel(message, 1); }), 6);
  message = MessageObject();
  message.MessageID = std::string(
      "1\0"
      "2",
      3);
  EXPECT_EQ(ErrorNumberOf([&] { EncodeQuery(message, 1); }), 5);
  message = MessageObject();
  message.DestAddressTON = AddressTypeOfNumbers{-1};
  EXPECT_EQ(ErrorNumberOf([&] { EncodeQuery(message, 1); }), 0);
  EXPECT_EQ(ErrorNumberOf([&] { EncodeCancel(message, 1); }), 6);
}

}  // namespace
}  // namespace korvane
