// query_sm, cancel_sm and a deliver_sm of ours as the npm peer decodes them,
// and the peer's answers as the session reports them.
#include <gtest/gtest.h>

#include <string>

#include "interop/interop_fixture.hpp"

namespace korvane {
namespace {

using testing::ValueOf;

class MessageOperationsInteropTest : public testing::InteropFixture {
 protected:
  void SetUp() override {
    InteropFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    BindAs(BindTypes::SmppBindAsTransceiver, "bind_transceiver");
    message = smpp.NewMessage();
    message.MessageID = "NPM-5";
    message.ServiceType = "CMT";
    message.SourceAddress = "4477";
    message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
    message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
    message.DestAddress = "0612";
    message.DestAddressTON = AddressTypeOfNumbers::tonNational;
    message.DestAddressNPI = AddressNumberPlanIndicators::npiISDN;
  }

  MessageObject message;
};

// The peer answers: final_date "261206120000000+", message_state 2, error_code 7.
TEST_F(MessageOperationsInteropTest, QueryIsDecodedAndItsAnswerCopiedIntoTheMessage) {
  EXPECT_TRUE(smpp.QueryMessage(message, true).IsEmpty());
  EXPECT_EQ(message.DeliveryStatus, MessageStates::Delivered) << Transcript();
  EXPECT_EQ(message.DeliveryErrorCode, 7);
  EXPECT_EQ(message.FinalDeliveryDate, DateTime(2026, 12, 6, 12, 0, 0));
  ASSERT_EQ(events.Named("MessageStatusReceived").size(), 1u);
  EXPECT_EQ(events.Named("MessageStatusReceived")[0].message.MessageID, "NPM-5");

  const auto query = peer->WaitForReceived(loop, "query_sm");
  ASSERT_TRUE(query) << Transcript();
  EXPECT_EQ(ValueOf(*query, "sequence_number"), std::to_string(message.SequenceNumber));
  EXPECT_EQ(ValueOf(*query, "message_id"), "NPM-5");
  EXPECT_EQ(ValueOf(*query, "source_addr_ton"), "1");
  EXPECT_EQ(ValueOf(*query, "source_addr_npi"), "1");
  EXPECT_EQ(ValueOf(*query, "source_addr"), "4477");
}

TEST_F(MessageOperationsInteropTest, CancelIsDecodedAndItsAnswerRaised) {
  smpp.CancelMessage(message);
  ASSERT_TRUE(PumpUntilEvent("MessageCancelResult")) << Transcript();
  const MessageObject result = events.Named("MessageCancelResult")[0].message;
  EXPECT_EQ(result.SequenceNumber, message.SequenceNumber);
  EXPECT_EQ(result.CancelResultCode, 0);

  const auto cancel = peer->WaitForReceived(loop, "cancel_sm");
  ASSERT_TRUE(cancel) << Transcript();
  EXPECT_EQ(ValueOf(*cancel, "sequence_number"), std::to_string(message.SequenceNumber));
  EXPECT_EQ(ValueOf(*cancel, "service_type"), "CMT");
  EXPECT_EQ(ValueOf(*cancel, "message_id"), "NPM-5");
  EXPECT_EQ(ValueOf(*cancel, "source_addr_ton"), "1");
  EXPECT_EQ(ValueOf(*cancel, "source_addr_npi"), "1");
  EXPECT_EQ(ValueOf(*cancel, "source_addr"), "4477");
  EXPECT_EQ(ValueOf(*cancel, "dest_addr_ton"), "2");
  EXPECT_EQ(ValueOf(*cancel, "dest_addr_npi"), "1");
  EXPECT_EQ(ValueOf(*cancel, "destination_addr"), "0612");
}

TEST_F(MessageOperationsInteropTest, DeliverShortMessageIsDecodedAndAcknowledged) {
  message.ShortMessage = Variant("to the SMSC");
  message.CallbackNumber = "5551";
  smpp.EnableTraceMessages(true);
  smpp.DeliverShortMessage(message);

  const auto deliver = peer->WaitForReceived(loop, "deliver_sm");
  ASSERT_TRUE(deliver) << Transcript();
  EXPECT_EQ(ValueOf(*deliver, "sequence_number"), std::to_string(message.SequenceNumber));
  EXPECT_EQ(ValueOf(*deliver, "service_type"), "CMT");
  EXPECT_EQ(ValueOf(*deliver, "source_addr"), "4477");
  EXPECT_EQ(ValueOf(*deliver, "destination_addr"), "0612");
  EXPECT_EQ(ValueOf(*deliver, "short_message.message"), "to the SMSC");
  EXPECT_EQ(ValueOf(*deliver, "protocol_id"), "52");
  // A deliver_sm's callback number takes the source address's TON and NPI.
  EXPECT_EQ(ValueOf(*deliver, "callback_num.0.digit_mode"), "0");
  EXPECT_EQ(ValueOf(*deliver, "callback_num.0.ton"), "1");
  EXPECT_EQ(ValueOf(*deliver, "callback_num.0.npi"), "1");
  EXPECT_EQ(ValueOf(*deliver, "callback_num.0.number"), "5551");
  // The peer's deliver_sm_resp arrives and is taken without complaint.
  EXPECT_TRUE(testing::PumpUntil(
      loop,
      [&] {
        for (const auto& trace : events.Named("TraceLog"))
          if (trace.text.starts_with("Received DELIVER_SM_RESP")) return true;
        return false;
      },
      std::chrono::seconds(5)))
      << Transcript();
  EXPECT_TRUE(events.Named("Error").empty()) << Transcript();
}

}  // namespace
}  // namespace korvane
