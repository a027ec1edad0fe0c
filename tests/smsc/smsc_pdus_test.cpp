// The simulator's codec and receipts, without sockets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smsc/message_store.hpp"
#include "smsc/pdus.hpp"
#include "support/test_util.hpp"

namespace korvane::smsc {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;
using testing::HexText;

StoredMessage DeliveredMessage() {
  StoredMessage message;
  message.id = "0000000007";
  message.system_id = "esme";
  message.source = {1, 1, "447700900123"};
  message.dest = {0, 0, "12345"};
  message.body = "Hello, this is a long text";
  message.registered_delivery = 1;
  message.state = kStateDelivered;
  message.submit_time = "240315123000004+";
  message.done_time = "240315123100004+";
  return message;
}

TEST(SmscReceiptTest, TheReceiptTextAndItsDeliverSmAreByteExact) {
  const std::string text = ReceiptText(DeliveredMessage());
  EXPECT_EQ(text,
            "id:0000000007 sub:001 dlvrd:001 submit date:2403151230 done date:2403151231 "
            "stat:DELIVRD err:000 text:Hello, this is a lon");
  EXPECT_EQ(HexText(DeliverSm(9, ReceiptOf(DeliveredMessage()))),
            "00 00 00 C0 00 00 00 05 00 00 00 00 00 00 00 09"  // header, sequence 9
            " 00"                                              // service_type
            " 00 00 31 32 33 34 35 00"                         // from the handset
            " 01 01 34 34 37 37 30 30 39 30 30 31 32 33 00"    // to the ESME
            " 04 00 00 00 00 00 00 00 00"  // esm_class 4, then zeros to sm_default_msg_id
            " 7A " +                       // sm_length 122
                HexText(testing::Octets(text)) +
                " 00 1E 00 0B 30 30 30 30 30 30 30 30 30 37 00"  // receipted_message_id
                " 04 27 00 01 02");                              // message_state DELIVERED
}

TEST(SmscPduTest, SubmitMultiReadsBothKindsOfDestinationAndThePayload) {
  const auto pdu =
      Hex("00 00 00 3D 00 00 00 21 00 00 00 00 00 00 00 05 00 01 01 31 00 02"
          " 01 01 01 32 32 00 02 66 72 69 65 6E 64 73 00"  // SME "22", list "friends"
          " 00 00 00 00 00 01 00 00 00 00"                 // registered_delivery 1, sm_length 0
          " 04 24 00 05 48 65 6C 6C 6F 14 03 00 01 41");   // message_payload "Hello", one more
  EXPECT_EQ(ParseSubmitMulti(pdu).tlvs.size(), 2u);
  EXPECT_EQ(Describe(pdu),
            "submit_multi seq=5 from=\"1\" to=\"22,list:friends\" reg=1 text=\"Hello\"");
}

TEST(SmscPduTest, BodiesThatRunPastTheirEndThrowAndDescribeAsMalformed) {
  // submit_sm whose TLV declares 5 octets and brings 1.
  const auto truncated_tlv =
      Hex("00 00 00 27 00 00 00 04 00 00 00 00 00 00 00 02 00 00 00 00 00 00 31 00"
          " 00 00 00 00 00 00 00 00 00 00 04 24 00 05 41");
  EXPECT_EQ(ErrorNumberOf([&] { ParseSubmitSm(truncated_tlv); }), 9);
  EXPECT_EQ(Describe(truncated_tlv), "submit_sm seq=2 (malformed)");
  const auto unterminated = Hex("00 00 00 14 00 00 00 02 00 00 00 00 00 00 00 01 61 62 63 64");
  EXPECT_EQ(ErrorNumberOf([&] { ParseBind(unterminated); }), 9);
  EXPECT_EQ(
      ErrorNumberOf([&] { ParseQuery(Hex("00 00 00 10 00 00 00 03 00 00 00 00 00 00 00 01")); }),
      9);
}

TEST(SmscPduTest, ResponsesCarryTheirFieldsOrOnlyAnErrorStatus) {
  EXPECT_EQ(HexText(QueryResp(3, "7", "", kStateEnroute, 0)),
            "00 00 00 15 80 00 00 03 00 00 00 00 00 00 00 03 37 00 00 01 00");
  EXPECT_EQ(HexText(SubmitMultiResp(4, "8")),
            "00 00 00 13 80 00 00 21 00 00 00 00 00 00 00 04 38 00 00");
  EXPECT_EQ(HexText(BindResp(0x80000002, kStatusInvalidPassword, 1, "korvane-smsc")),
            "00 00 00 10 80 00 00 02 00 00 00 0E 00 00 00 01");
  EXPECT_EQ(CommandName(0x80000021), "submit_multi_resp");
  EXPECT_EQ(CommandName(0x00000123), "0x00000123");
  EXPECT_EQ(Printable("a\"\x01"), "a\\x22\\x01");
}

TEST(SmscPduTest, LongMobileOriginatedTextTravelsAsMessagePayload) {
  Submission mo;
  mo.source.address = "1";
  mo.dests.push_back({0, 0, "2"});
  mo.short_message = std::string(300, 'x');
  const auto pdu = DeliverSm(1, mo);
  const Submission read = ParseSubmitSm(pdu);
  EXPECT_TRUE(read.short_message.empty());
  EXPECT_EQ(read.Body(), mo.short_message);
}

}  // namespace
}  // namespace korvane::smsc
