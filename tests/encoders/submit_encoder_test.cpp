// The submit_sm / submit_multi encoder, byte for byte.
#include "encoders/submit_encoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvane/message_object.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using encoders::EncodeSubmit;
using encoders::SubmitContext;
using testing::ErrorNumberOf;
using testing::Hex;
using testing::HexText;

constexpr int32_t kSequence = 4;

class SubmitEncoderTest : public ::testing::Test {
 protected:
  SubmitEncoderTest() { message.DestAddress = "1234"; }

  std::vector<uint8_t> Encode() { return EncodeSubmit(message, context, kSequence); }
  // The octets after the fixed fields up to sm_length: the body and the TLVs.
  std::string Tail() {
    const std::vector<uint8_t> pdu = Encode();
    return HexText(std::vector<uint8_t>(pdu.begin() + kDefaultLength - 1, pdu.end()));
  }

  static constexpr std::ptrdiff_t kDefaultLength = 37;
  MessageObject message;
  SubmitContext context{
      .protocol_id = 51, .now = DateTime(2004, 3, 9, 14, 5, 7), .time_zone_suffix = "04+"};
};

TEST_F(SubmitEncoderTest, DefaultMessageIsThe37OctetSubmitSm) {
  EXPECT_EQ(HexText(Encode()),
            "00 00 00 25 00 00 00 04 00 00 00 00 00 00 00 04 "
            "00 00 00 00 00 00 31 32 33 34 00 00 33 00 00 00 00 00 00 00 00");
}

TEST_F(SubmitEncoderTest, HeaderFieldsComeFromTheMessageAndTheSession) {
  message.ServiceType = "CMT";
  message.SourceAddress = "44";
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.MessageType = MessageTypes::escmUDHI;
  message.MessageMode = MessagingModes::StoreAndForward;
  message.Priority = PriorityFlags::pfNormal;
  message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  message.ReplaceIfPresent = true;
  message.DataCoding = SMSDataCodingSchemes::dcsUCS2;
  message.DefaultMsgId(7);
  context.protocol_id = 52;
  EXPECT_EQ(HexText(Encode()),
            "00 00 00 2A 00 00 00 04 00 00 00 00 00 00 00 04 "
            "43 4D 54 00 01 01 34 34 00 00 00 31 32 33 34 00 43 34 01 00 00 01 01 08 07 00");
}

TEST_F(SubmitEncoderTest, ScheduleAndValidityAreTimeStrings) {
  struct Case {
    bool relative;
    int16_t seconds;
    int16_t hours;
    std::string given;
    std::string expected;
  };
  const Case cases[] = {
      {true, 0, 5, "", "000000050000000R"},
      {true, 30, 0, "", "000000000030000R"},
      {true, 0, 48, "", "000000480000000R"},
      {true, 1, 0, "", "000000000001000R"},
      {true, 0, 99, "", "000000990000000R"},    // the largest count kept as it is
      {true, 30, 5, "", "000000000030000R"},    // seconds win
      {true, 120, 0, "", "000000000200000R"},   // carried into minutes
      {true, 0, 120, "", "000005000000000R"},   // carried into days
      {false, 0, 2, "", "040309160507004+"},    // now + 2 hours
      {false, 0, 120, "", "040314140507004+"},  // now + 5 days
      {false, 90, 0, "", "040309140637004+"},   // now + 90 seconds
      {true, 30, 5, "000001000000000R", "000001000000000R"},
      {false, 0, 0, "01234567890123456789", "01234567890123456"},  // first 17
      {false, -5, 0, "", ""},
  };
  for (const Case& c : cases) {
    message.ValidityRelative = c.relative;
    message.ValiditySeconds = c.seconds;
    message.ValidityHours = c.hours;
    message.ValidityPeriodString(c.given);
    const std::vector<uint8_t> pdu = Encode();
    // After an empty schedule_delivery_time at octet 30.
    const std::string validity(pdu.begin() + 31, pdu.begin() + 31 + c.expected.size());
    EXPECT_EQ(validity, c.expected) << c.seconds << " s, " << c.hours << " h";
    EXPECT_EQ(pdu[31 + c.expected.size()], 0);
  }
  message.ValidityPeriodString("");
  message.ValiditySeconds = 0;
  message.ValidityHours = 0;
  message.ScheduledDeliveryTime = DateTime(2004, 3, 9, 14, 5, 7);
  const std::vector<uint8_t> pdu = Encode();
  EXPECT_EQ(std::string(pdu.begin() + 30, pdu.begin() + 47), std::string("040309140507004+\0", 17));
}

TEST_F(SubmitEncoderTest, BodyIsTextBytesOrPayload) {
  message.ShortMessage = std::string(300, 'x');
  std::vector<uint8_t> pdu = Encode();
  EXPECT_EQ(pdu[36], 255);
  EXPECT_EQ(pdu.size(), 37u + 255);
  EXPECT_EQ(pdu.back(), 'x');

  message.ShortMessage = std::vector<uint8_t>(140, 0xA5);
  pdu = Encode();
  EXPECT_EQ(pdu[36], 140);
  EXPECT_EQ(std::vector<uint8_t>(pdu.begin() + 37, pdu.end()), std::vector<uint8_t>(140, 0xA5));

  message.ShortMessage = int64_t{42};  // a number's text form
  EXPECT_EQ(Tail(), "02 34 32");

  message.ShortMessage = "Hi";
  message.Payload = std::string(400, 'p');
  pdu = Encode();
  EXPECT_EQ(HexText(std::vector<uint8_t>(pdu.begin() + 36, pdu.begin() + 41)), "00 04 24 01 90");
  EXPECT_EQ(pdu.size(), 37u + 4 + 400);

  context.force_no_payload = true;  // the text payload is dropped, the short message sent
  EXPECT_EQ(Tail(), "02 48 69");

  message.Payload = std::vector<uint8_t>{1, 2, 3};  // bytes go as payload regardless
  EXPECT_EQ(Tail(), "00 04 24 00 03 01 02 03");
}

TEST_F(SubmitEncoderTest, OptionalParametersFollowTheBodyInOrder) {
  message.CallbackNumber = "441234567";
  message.CallbackNumberTON = AddressTypeOfNumbers::tonInternational;
  message.CallbackNumberNPI = AddressNumberPlanIndicators::npiISDN;
  message.UserMessageReference("300");
  message.AddOptionalParamString(0x1403, "abc");
  EXPECT_EQ(Tail(),
            "00 03 81 00 0C 00 01 01 34 34 31 32 33 34 35 36 37 "
            "02 04 00 02 01 2C 14 03 00 03 61 62 63");

  message.ClearTLVs();
  message.UserMessageReference("0");
  message.CallbackNumber = "0800 CALL-ME-NOW-PLEASE";  // a letter: digit mode 1, cut to 15
  message.CallbackNumberTON = static_cast<AddressTypeOfNumbers>(300);  // no octet: sent as 0
  EXPECT_EQ(Tail(), "00 03 81 00 12 01 00 01 30 38 30 30 20 43 41 4C 4C 2D 4D 45 2D 4E 4F");
}

TEST_F(SubmitEncoderTest, SubmitMultiListsSmeAddressesBeforeDistributionLists) {
  message.AddDistributionList("L1");
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "A");
  message.AddRecipient(AddressTypeOfNumbers::tonNational, AddressNumberPlanIndicators::npiISDN,
                       "B");
  context.submit_multi = true;
  EXPECT_EQ(HexText(Encode()),
            "00 00 00 2D 00 00 00 21 00 00 00 00 00 00 00 04 00 00 00 00 "
            "03 01 01 01 41 00 01 02 01 42 00 02 4C 31 00 "
            "00 33 00 00 00 00 00 00 00 00");
}

TEST_F(SubmitEncoderTest, ValuesThatDoNotFitTheirFieldAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(MessageObject&, SubmitContext&);
    int32_t number;
  };
  const Case cases[] = {
      {"source TON",
       [](MessageObject& m, SubmitContext&) {
         m.SourceAddressTON = static_cast<AddressTypeOfNumbers>(256);
       },
       6},
      {"dest NPI",
       [](MessageObject& m, SubmitContext&) {
         m.DestAddressNPI = static_cast<AddressNumberPlanIndicators>(-1);
       },
       6},
      {"esm_class sum",
       [](MessageObject& m, SubmitContext&) {
         m.MessageType = MessageTypes::escmReplyPath;
         m.MessageMode = static_cast<MessagingModes>(128);
       },
       6},
      {"priority",
       [](MessageObject& m, SubmitContext&) { m.Priority = static_cast<PriorityFlags>(999); }, 6},
      {"registered delivery",
       [](MessageObject& m, SubmitContext&) {
         m.RegisteredDelivery = static_cast<RegisteredDeliveryTypes>(256);
       },
       6},
      {"data coding",
       [](MessageObject& m, SubmitContext&) {
         m.DataCoding = static_cast<SMSDataCodingSchemes>(300);
       },
       6},
      {"protocol id", [](MessageObject&, SubmitContext& c) { c.protocol_id = 256; }, 6},
      {"256 bytes",
       [](MessageObject& m, SubmitContext&) { m.ShortMessage = std::vector<uint8_t>(256); }, 6},
      {"payload", [](MessageObject& m, SubmitContext&) { m.Payload = std::string(65536, 'p'); }, 6},
      {"tag",
       [](MessageObject& m, SubmitContext&) {
         m.TLVs.push_back({0x10000, 1, "x"});
       },
       6},
      {"TLV value",
       [](MessageObject& m, SubmitContext&) {
         m.TLVs.push_back({0x1400, 65536, std::string(65536, 'v')});
       },
       6},
      {"TagLength",
       [](MessageObject& m, SubmitContext&) {
         m.TLVs.push_back({0x1400, 5, "abc"});
       },
       5},
      {"256 recipients",
       [](MessageObject& m, SubmitContext& c) {
         c.submit_multi = true;
         m.Recipients.assign(256, Recipient{MultiDestAddressTypes::SME, {}, {}, "1", 0});
       },
       6},
      {"recipient TON",
       [](MessageObject& m, SubmitContext& c) {
         c.submit_multi = true;
         m.Recipients.push_back(
             {MultiDestAddressTypes::SME, static_cast<AddressTypeOfNumbers>(256), {}, "1", 0});
       },
       6},
      {"NUL in address",
       [](MessageObject& m, SubmitContext&) {
         m.SourceAddress = std::string(
             "12\0"
             "3",
             4);
       },
       5},
      {"NUL in validity",
       [](MessageObject& m, SubmitContext&) { m.ValidityPeriodString(std::string("0\0", 2)); }, 5},
      {"bad schedule",
       [](MessageObject& m, SubmitContext&) { m.ScheduledDeliveryTime = DateTime(2004, 2, 30); },
       5},
      {"relative validity over 99 days",
       [](MessageObject& m, SubmitContext&) {
         m.ValidityRelative = true;
         m.ValidityHours = 2400;
       },
       6},
  };
  for (const Case& c : cases) {
    MessageObject spoilt = message;
    SubmitContext spoilt_context = context;
    c.spoil(spoilt, spoilt_context);
    EXPECT_EQ(ErrorNumberOf([&] { EncodeSubmit(spoilt, spoilt_context, kSequence); }), c.number)
        << c.what;
  }
  // The limits themselves fit.
  message.ShortMessage = std::vector<uint8_t>(255);
  message.Payload = std::vector<uint8_t>(65535);
  message.ValidityRelative = true;
  message.ValidityHours = 2399;
  EXPECT_EQ(Encode().size(), 37u + 4 + 65535 + 17 - 1);
}

}  // namespace
}  // namespace korvane
