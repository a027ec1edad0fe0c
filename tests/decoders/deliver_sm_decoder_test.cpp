// The deliver_sm decoder, from hex vectors.
#include "decoders/deliver_sm_decoder.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/test_util.hpp"

namespace korvane {
namespace {

using decoders::DecodeDeliverSm;
using testing::ErrorNumberOf;
using testing::Hex;
using testing::Octets;

// service_type "", source 1/1 "+4479", destination 1/1 "12345".
constexpr const char* kAddresses = "00 01 01 2B 34 34 37 39 00 01 01 31 32 33 34 35 00 ";
// esm_class 0 through sm_default_msg_id with data_coding 0.
constexpr const char* kPlainFields = "00 00 00 00 00 00 00 00 00 ";

// A deliver_sm with sequence_number 7 around `body`.
std::vector<uint8_t> DeliverSm(const std::string& body,
                               const std::string& sequence = "00 00 00 07") {
  std::vector<uint8_t> pdu = Hex("00 00 00 00 00 00 00 05 00 00 00 00 " + sequence + " " + body);
  pdu[3] = static_cast<uint8_t>(pdu.size());
  pdu[2] = static_cast<uint8_t>(pdu.size() >> 8);
  return pdu;
}

std::string HexOf(const std::string& text) { return testing::HexText(Octets(text)); }

TEST(DeliverSmDecoderTest, PlainMessageFillsTheFieldsOfTheTable) {
  const auto pdu = DeliverSm(std::string(kAddresses) + kPlainFields + "05 48 65 6C 6C 6F");
  ASSERT_EQ(pdu.size(), 48u);
  const auto decoded = DecodeDeliverSm(pdu);
  const MessageObject& message = decoded.message;
  EXPECT_EQ(message.SourceAddress, "+4479");
  EXPECT_EQ(message.SourceAddressTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(message.SourceAddressNPI, AddressNumberPlanIndicators::npiISDN);
  EXPECT_EQ(message.DestAddress, "12345");
  EXPECT_EQ(message.DestAddressTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(message.ShortMessage.Text(), "Hello");
  EXPECT_EQ(message.ShortMessageBytes.Bytes(), Octets("Hello"));
  EXPECT_EQ(message.MessageMode, MessagingModes{});
  EXPECT_EQ(message.SequenceNumber, 7);
  EXPECT_EQ(message.ServiceType, "");
  EXPECT_TRUE(message.TLVs.empty());
  EXPECT_TRUE(decoded.faults.empty());
  EXPECT_TRUE(decoded.ShortMessageComplete());
}

TEST(DeliverSmDecoderTest, HeaderOctetsGoToTheirFieldsAndSkippedOnesAreNotKept) {
  // service_type CMT, esm_class 0x43, protocol_id 0x7F, priority 2, a
  // schedule and a validity string, registered_delivery 1, replace 1,
  // data_coding 8, sm_default_msg_id 9; NUL octets in the short message.
  const auto decoded = DecodeDeliverSm(
      DeliverSm("43 4D 54 00 05 00 41 42 00 00 08 00 43 7F 02 " + HexOf("040101000000000R") +
                " 00 " + HexOf("040102000000000R") + " 00 01 01 08 09 03 61 00 62"));
  const MessageObject& message = decoded.message;
  EXPECT_EQ(message.ServiceType, "CMT");
  EXPECT_EQ(message.SourceAddressTON, AddressTypeOfNumbers::tonAlphanumeric);
  EXPECT_EQ(message.SourceAddress, "AB");
  EXPECT_EQ(message.DestAddressNPI, AddressNumberPlanIndicators::npiNational);
  EXPECT_EQ(message.DestAddress, "");
  EXPECT_EQ(static_cast<int>(message.MessageType), 0x43);
  EXPECT_EQ(message.ProtocolID, 0x7F);
  EXPECT_EQ(message.Priority, PriorityFlags::pfUrgent);
  EXPECT_EQ(message.RegisteredDelivery, RegisteredDeliveryTypes::SMSCOnSuccessOrFailure);
  EXPECT_FALSE(message.ReplaceIfPresent);
  EXPECT_EQ(message.DataCoding, SMSDataCodingSchemes::dcsUCS2);
  EXPECT_EQ(message.DefaultMsgId(), 0);
  EXPECT_EQ(message.ScheduledDeliveryTime, DateTime());
  EXPECT_EQ(message.ShortMessage.Text(), std::string("a\0b", 3));
  EXPECT_EQ(message.ShortMessageBytes.Bytes(), Hex("61 00 62"));
}

TEST(DeliverSmDecoderTest, DeliveryReceiptKeepsItsTextAndParameters) {
  const std::string receipt =
      "id:MSG1 sub:001 dlvrd:001 submit date:2612061200 done date:2612061201 stat:DELIVRD err:000 "
      "text:Hello";
  const auto decoded = DecodeDeliverSm(
      DeliverSm(std::string(kAddresses) + "04 00 00 00 00 00 00 00 00 " +
                testing::HexText({static_cast<uint8_t>(receipt.size())}) + " " + HexOf(receipt) +
                " 00 1E 00 05 4D 53 47 31 00 04 27 00 01 02 04 23 00 03 03 00 00"));
  const MessageObject& message = decoded.message;
  EXPECT_EQ(message.MessageType, MessageTypes::escmSMSCDeliveryReceipt);
  EXPECT_EQ(message.ShortMessage.Text(), receipt);
  EXPECT_EQ(message.MessageState, MessageStates::Delivered);
  ASSERT_EQ(message.TLVs.size(), 2u);
  EXPECT_EQ(message.TLVs[0].Tag, 0x001E);
  EXPECT_EQ(message.TLVs[0].TagLength, 5);
  EXPECT_EQ(message.GetOptionalParamStringValue(0x001E), std::string("MSG1\0", 5));
  EXPECT_EQ(message.GetOptionalParamBytesValue(0x0423).Bytes(), Hex("03 00 00"));
  EXPECT_EQ(message.FinalDeliveryDate, DateTime());
  EXPECT_EQ(message.DeliveryStatus, MessageStates{});
  EXPECT_EQ(message.DeliveryErrorCode, 0);
}

TEST(DeliverSmDecoderTest, OctetsOneAreRemovedFromTheSourceAddressOnly) {
  const auto decoded = DecodeDeliverSm(DeliverSm("00 00 00 01 34 01 34 01 00 00 00 01 35 01 00 " +
                                                 std::string(kPlainFields) + "00"));
  EXPECT_EQ(decoded.message.SourceAddress, "44");
  EXPECT_EQ(decoded.message.DestAddress,
            "\x01"
            "5\x01");
  // Nothing but octets 1: the field keeps its initial value.
  EXPECT_EQ(
      DecodeDeliverSm(DeliverSm("00 00 00 01 01 00 00 00 00 " + std::string(kPlainFields) + "00"))
          .message.SourceAddress,
      "");
}

TEST(DeliverSmDecoderTest, PayloadAndTheParametersAfterIt) {
  const std::string payload(300, 'p');
  // sm_length 0, message_payload of 300, user_message_reference 0x0102,
  // callback_num 55512 (digit mode 0, TON 1, NPI 1), a second callback_num,
  // then four spare octets.
  const auto decoded = DecodeDeliverSm(
      DeliverSm(std::string(kAddresses) + kPlainFields + "00 04 24 01 2C " + HexOf(payload) +
                " 02 04 00 02 01 02 03 81 00 08 00 01 01 35 35 35 31 32 03 81 00 04 01 02 03 39"
                " 00 05 00 01"));
  const MessageObject& message = decoded.message;
  EXPECT_EQ(message.ShortMessage.Text(), "");
  EXPECT_TRUE(message.ShortMessageBytes.Bytes().empty());
  EXPECT_EQ(message.Payload.Text(), payload);
  EXPECT_EQ(message.PayloadBytes.Bytes(), Octets(payload));
  EXPECT_EQ(message.UserMessageReference(), "258");
  EXPECT_EQ(message.CallbackNumber, "55512");
  EXPECT_EQ(message.CallbackNumberTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(message.CallbackNumberNPI, AddressNumberPlanIndicators::npiISDN);
  ASSERT_EQ(message.TLVs.size(), 1u);
  EXPECT_EQ(message.GetOptionalParamBytesValue(0x0381).Bytes(), Hex("01 02 03 39"));
  EXPECT_TRUE(decoded.faults.empty());
}

TEST(DeliverSmDecoderTest, ShortMessageLongerThanThePduLeavesZerosAndNoParameters) {
  // sm_length 20 with ten octets left, which look like a parameter.
  const auto decoded = DecodeDeliverSm(
      DeliverSm(std::string(kAddresses) + kPlainFields + "14 04 27 00 01 02 41 42 43 44 45"));
  EXPECT_EQ(decoded.declared_length, 20u);
  EXPECT_EQ(decoded.received_length, 0u);
  EXPECT_FALSE(decoded.ShortMessageComplete());
  EXPECT_EQ(decoded.message.ShortMessage.Text(), "");
  EXPECT_EQ(decoded.message.ShortMessageBytes.Bytes(), std::vector<uint8_t>(20, 0));
  EXPECT_EQ(decoded.message.MessageState, MessageStates{});
  EXPECT_TRUE(decoded.faults.empty());
  // One octet short.
  const auto short_by_one =
      DecodeDeliverSm(DeliverSm(std::string(kAddresses) + kPlainFields + "03 41 42"));
  EXPECT_EQ(short_by_one.received_length, 0u);
  EXPECT_EQ(short_by_one.message.ShortMessageBytes.Bytes(), std::vector<uint8_t>(3, 0));
}

TEST(DeliverSmDecoderTest, PayloadLongerThanThePduEndsTheParameters) {
  const auto decoded = DecodeDeliverSm(
      DeliverSm(std::string(kAddresses) + kPlainFields + "00 04 24 00 10 04 27 00 01 02 41 42 43"));
  EXPECT_EQ(decoded.message.Payload.Text(), "");
  EXPECT_EQ(decoded.message.PayloadBytes.Bytes(), std::vector<uint8_t>(16, 0));
  EXPECT_EQ(decoded.message.MessageState, MessageStates{});
  EXPECT_TRUE(decoded.faults.empty());
}

TEST(DeliverSmDecoderTest, DataCoding6IsDecodedLikeAnyOther) {
  const auto decoded =
      DecodeDeliverSm(DeliverSm(std::string(kAddresses) + "00 00 00 00 00 00 00 06 00 02 E9 41"));
  EXPECT_EQ(decoded.message.ShortMessage.Text(),
            "\xE9"
            "A");
  EXPECT_EQ(decoded.message.ShortMessageBytes.Bytes(), Hex("E9 41"));
}

TEST(DeliverSmDecoderTest, FaultyParametersStopTheReadingAndAreReturned) {
  const std::string start = std::string(kAddresses) + kPlainFields + "01 41 ";
  struct Case {
    const char* parameters;
    std::size_t tlvs_kept;
  };
  const Case cases[] = {
      {"14 03 00 02 61 62 14 04 00 09 61 62", 1},  // length runs past the PDU
      {"02 04 00 01 07", 0},                       // user_message_reference of one octet
      {"02 04 00 02 01", 0},                       // ... cut by the end of the PDU
      {"03 81 00 02 00 01", 0},                    // callback_num without its NPI
      {"04 27 00 00 14 03 00 00", 0},              // empty message_state
  };
  for (const Case& c : cases) {
    const auto decoded = DecodeDeliverSm(DeliverSm(start + c.parameters));
    ASSERT_EQ(decoded.faults.size(), 1u) << c.parameters;
    EXPECT_EQ(decoded.faults[0].Number(), 9) << c.parameters;
    EXPECT_EQ(decoded.message.TLVs.size(), c.tlvs_kept) << c.parameters;
    EXPECT_EQ(decoded.message.ShortMessage.Text(), "A");
  }
}

TEST(DeliverSmDecoderTest, UndecodableMandatoryFieldsThrowAndLargeSequenceIsAFault) {
  EXPECT_EQ(ErrorNumberOf([] { DecodeDeliverSm(DeliverSm("00 01 01 34 34")); }), 9);
  EXPECT_EQ(ErrorNumberOf([] { DecodeDeliverSm(DeliverSm(kAddresses)); }), 9);
  EXPECT_EQ(ErrorNumberOf([] { DecodeDeliverSm(DeliverSm(std::string(kAddresses) + "00 00 00")); }),
            9);
  const auto decoded =
      DecodeDeliverSm(DeliverSm(std::string(kAddresses) + kPlainFields + "00", "80 00 00 01"));
  ASSERT_EQ(decoded.faults.size(), 1u);
  EXPECT_EQ(decoded.faults[0].Number(), 6);
  EXPECT_EQ(decoded.message.SequenceNumber, 0);
}

// Random bodies never make the decoder read outside the PDU (the sanitizer
// build checks every access) and always end in a result or a fault 9.
TEST(DeliverSmDecoderTest, RandomBodiesStayInsideThePdu) {
  std::mt19937 random(20261206);
  const std::vector<uint8_t> valid = DeliverSm(std::string(kAddresses) + kPlainFields +
                                               "02 41 42 04 24 00 02 43 44 02 04 00 02 01 02");
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> pdu = valid;
    pdu.resize(16 + random() % (valid.size() - 15));
    for (int flips = random() % 6; flips > 0 && pdu.size() > 16; --flips) {
      pdu[16 + random() % (pdu.size() - 16)] = static_cast<uint8_t>(random());
    }
    try {
      DecodeDeliverSm(pdu);
    } catch (const ComponentError& error) {
      ASSERT_EQ(error.Number(), 9);
    }
  }
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// A data_sm with sequence_number 9 around `body`.
std::vector<uint8_t> DataSm(const std::string& body) {
  std::vector<uint8_t> pdu =
      testing::Hex("00 00 00 00 00 00 01 03 00 00 00 00 00 00 00 09 " + body);
  pdu[3] = static_cast<uint8_t>(pdu.size());
  return pdu;
}

TEST(DataSmDecoderTest, FieldsAndPayloadFromHexVectors) {
  struct Row {
    const char* what;
    std::string body;
    std::string payload;
    int faults;
  };
  const std::string addresses = "43 4D 54 00 01 01 2B 34 34 37 39 00 01 01 31 32 33 34 35 00 ";
  const Row rows[] = {
      // esm_class 4, registered_delivery 1, data_coding 8, message_payload "Hi".
      {"payload", addresses + "04 01 08 04 24 00 02 48 69", "Hi", 0},
      {"no parameters", addresses + "04 01 08", "", 0},
      // A payload declared longer than the PDU: empty, and reading stops.
      {"cut payload", addresses + "04 01 08 04 24 00 09 48 69", "", 0},
      // A parameter running past the end is a fault; the message stands.
      {"cut parameter", addresses + "04 01 08 00 1E 00 09 41 42", "", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto decoded = decoders::DecodeDataSm(DataSm(row.body));
    const MessageObject& message = decoded.message;
    EXPECT_EQ(message.ServiceType, "CMT");
    EXPECT_EQ(message.SourceAddress, "+4479");
    EXPECT_EQ(message.DestAddress, "12345");
    EXPECT_EQ(message.MessageType, MessageTypes{4});
    EXPECT_EQ(message.RegisteredDelivery, RegisteredDeliveryTypes{1});
    EXPECT_EQ(message.DataCoding, SMSDataCodingSchemes{8});
    EXPECT_EQ(message.SequenceNumber, 9);
    EXPECT_EQ(message.Payload.ToText(), row.payload);
    EXPECT_EQ(static_cast<int>(decoded.faults.size()), row.faults);
  }
  // A mandatory field without its end cannot be decoded.
  EXPECT_EQ(ErrorNumberOf([] { decoders::DecodeDataSm(DataSm("43 4D 54")); }), 9);
}

}  // namespace
}  // namespace korvane
