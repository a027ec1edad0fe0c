// deliver_sm sent by the npm peer: a mobile-originated message and a
// delivery receipt with its TLVs, as MessageReceived raises them, and the
// deliver_sm_resp the peer gets for each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interop/interop_fixture.hpp"

namespace korvane {
namespace {

using testing::ValueOf;

constexpr int32_t kReceiptedMessageIdTag = 0x001E;
constexpr int32_t kSourcePortTag = 0x020A;
constexpr int32_t kNetworkErrorCodeTag = 0x0423;

class ReceptionInteropTest : public testing::InteropFixture {
 protected:
  void SetUp() override {
    InteropFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    BindAs(BindTypes::SmppBindAsReceiver, "bind_receiver");
  }

  // Has the peer send a deliver_sm; the message as raised, after checking
  // that the peer got a deliver_sm_resp with its sequence number.
  MessageObject DeliveredByThePeer(const std::string& fields) {
    peer->Send("deliver_sm", fields);
    const auto sent = peer->WaitForSent(loop, "deliver_sm");
    EXPECT_TRUE(sent) << Transcript();
    EXPECT_TRUE(PumpUntilEvent("MessageReceived")) << Transcript();
    const auto resp = peer->WaitForReceived(loop, "deliver_sm_resp");
    EXPECT_TRUE(resp) << Transcript();
    if (!sent || !resp || events.Named("MessageReceived").empty()) return {};
    EXPECT_EQ(ValueOf(*resp, "sequence_number"), ValueOf(*sent, "sequence_number"));
    EXPECT_EQ(ValueOf(*resp, "command_status"), "0");
    EXPECT_EQ(ValueOf(*resp, "message_id"), "");
    MessageObject message = events.Named("MessageReceived")[0].message;
    EXPECT_EQ(std::to_string(message.SequenceNumber), ValueOf(*sent, "sequence_number"));
    return message;
  }
};

TEST_F(ReceptionInteropTest, MobileOriginatedMessage) {
  const MessageObject message = DeliveredByThePeer(R"({
      "service_type": "WAP", "source_addr_ton": 1, "source_addr_npi": 1,
      "source_addr": "447700900001", "dest_addr_ton": 2, "dest_addr_npi": 8,
      "destination_addr": "12345", "esm_class": 0, "protocol_id": 0, "priority_flag": 1,
      "data_coding": 3, "short_message": {"hex": "48e96c6c6f"},
      "user_message_reference": 258, "source_port": 3000,
      "callback_num": [{"digit_mode": 0, "ton": 1, "npi": 1, "number": "55512"}]})");
  EXPECT_EQ(message.ServiceType, "WAP");
  EXPECT_EQ(message.SourceAddressTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(message.SourceAddressNPI, AddressNumberPlanIndicators::npiISDN);
  EXPECT_EQ(message.SourceAddress, "447700900001");
  EXPECT_EQ(message.DestAddressTON, AddressTypeOfNumbers::tonNational);
  EXPECT_EQ(static_cast<int>(message.DestAddressNPI), 8);
  EXPECT_EQ(message.DestAddress, "12345");
  EXPECT_EQ(message.MessageType, MessageTypes{});
  EXPECT_EQ(message.Priority, static_cast<PriorityFlags>(1));
  EXPECT_EQ(message.DataCoding, SMSDataCodingSchemes::dcsLatin1);
  EXPECT_EQ(message.ShortMessage.Text(), "H\xE9llo");
  EXPECT_EQ(message.ShortMessageBytes.Bytes(), (std::vector<uint8_t>{'H', 0xE9, 'l', 'l', 'o'}));
  EXPECT_EQ(message.UserMessageReference(), "258");
  EXPECT_EQ(message.CallbackNumber, "55512");
  EXPECT_EQ(message.CallbackNumberTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(message.CallbackNumberNPI, AddressNumberPlanIndicators::npiISDN);
  EXPECT_EQ(message.GetOptionalParamStringValue(kSourcePortTag), std::string("\x0B\xB8", 2));
}

TEST_F(ReceptionInteropTest, DeliveryReceiptWithItsTlvs) {
  const std::string receipt =
      "id:NPM-7 sub:001 dlvrd:001 submit date:2612061200 done date:2612061201 stat:DELIVRD "
      "err:000 text:Hello";
  const MessageObject message = DeliveredByThePeer(R"({
      "source_addr": "447700900001", "destination_addr": "4477", "esm_class": 4,
      "data_coding": 0, "short_message": {"hex": ")" +
                                                   testing::HexOf(receipt) + R"("},
      "receipted_message_id": "NPM-7", "message_state": 2,
      "network_error_code": {"hex": "03002a"}})");
  EXPECT_EQ(message.MessageType, MessageTypes::escmSMSCDeliveryReceipt);
  EXPECT_EQ(message.SourceAddress, "447700900001");
  EXPECT_EQ(message.DestAddress, "4477");
  EXPECT_EQ(message.ShortMessage.Text(), receipt);
  EXPECT_EQ(message.MessageState, MessageStates::Delivered);
  EXPECT_EQ(message.GetOptionalParamStringValue(kReceiptedMessageIdTag), std::string("NPM-7\0", 6));
  EXPECT_EQ(message.GetOptionalParamBytesValue(kNetworkErrorCodeTag).Bytes(),
            (std::vector<uint8_t>{0x03, 0x00, 0x2A}));
}

TEST_F(ReceptionInteropTest, BodyInMessagePayload) {
  std::string ucs2;
  for (int i = 0; i < 150; ++i) ucs2 += {'\x04', static_cast<char>(0x10 + i % 32)};
  const MessageObject message = DeliveredByThePeer(
      R"({"source_addr": "447700900002", "destination_addr": "4477", "data_coding": 8,
          "message_payload": {"hex": ")" +
      testing::HexOf(ucs2) + R"("}})");
  EXPECT_EQ(message.DataCoding, static_cast<SMSDataCodingSchemes>(8));
  EXPECT_EQ(message.ShortMessage.Text(), "");
  EXPECT_EQ(message.Payload.Text(), ucs2);
  EXPECT_EQ(message.PayloadBytes.Bytes(), std::vector<uint8_t>(ucs2.begin(), ucs2.end()));
}

// Three deliver_sm written at once reach the session back to back: each is
// raised once, in order, and acknowledged with its own sequence number.
TEST_F(ReceptionInteropTest, MessagesInARowAreEachRaisedAndAcknowledged) {
  const std::vector<std::string> bodies = {"0500030a0201" + testing::HexOf("first"),
                                           testing::HexOf("second"), testing::HexOf("third")};
  for (const std::string& body : bodies) {
    peer->Send("deliver_sm", R"({"source_addr": "447700900003", "destination_addr": "4477",)"
                             R"( "esm_class": 64, "short_message": {"hex": ")" +
                                 body + R"("}})");
  }
  ASSERT_TRUE(testing::PumpUntil(
      loop, [&] { return events.Named("MessageReceived").size() >= 3; }, std::chrono::seconds(5)))
      << Transcript();
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const auto sent = peer->WaitForSent(loop, "deliver_sm");
    const auto resp = peer->WaitForReceived(loop, "deliver_sm_resp");
    ASSERT_TRUE(sent && resp) << Transcript();
    EXPECT_EQ(ValueOf(*resp, "sequence_number"), ValueOf(*sent, "sequence_number"));
    const MessageObject message = events.Named("MessageReceived")[i].message;
    EXPECT_EQ(std::to_string(message.SequenceNumber), ValueOf(*sent, "sequence_number"));
    EXPECT_EQ(message.MessageType, MessageTypes::escmUDHI);
    EXPECT_EQ(testing::HexOf(message.ShortMessageBytes.Bytes()), bodies[i]);
  }
  EXPECT_EQ(events.Named("MessageReceived").size(), 3u);
  EXPECT_TRUE(events.Named("Error").empty()) << Transcript();
}

}  // namespace
}  // namespace korvane
