// Submissions as the npm peer decodes them, field by field: a submit_sm with
// every plain field, a callback number and further TLVs; a binary body in
// message_payload; a submit_multi to addresses and a distribution list.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "interop/interop_fixture.hpp"
#include "korvane/text.hpp"

namespace korvane {
namespace {

using testing::HexOf;
using testing::ValueOf;

constexpr int32_t kSourcePortTag = 0x020A;
constexpr int32_t kPrivateTag = 0x1403;

// "2027-01-02T03:04:05.000Z": the instant the peer makes of a local time
// sent with the session's time-zone suffix ("04+" is an hour ahead of UTC).
std::string UtcIsoOf(const DateTime& local, const std::string& bias) {
  const int quarters = std::stoi(bias.substr(0, 2)) * (bias[2] == '+' ? 1 : -1);
  const DateTime utc = local.AddSeconds(-int64_t{quarters} * 15 * 60);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", utc.year, utc.month,
                utc.day, utc.hour, utc.minute, utc.second);
  return text;
}

class SubmitInteropTest : public testing::InteropFixture {
 protected:
  void SetUp() override {
    InteropFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    BindAs(BindTypes::SmppBindAsTransmitter, "bind_transmitter");
  }
};

TEST_F(SubmitInteropTest, SubmitSmWithEveryFieldCallbackNumberAndTlvs) {
  MessageObject message = smpp.NewMessage();
  message.ServiceType = "CMT";
  message.SourceAddress = "4477009";
  message.SourceAddressTON = AddressTypeOfNumbers::tonInternational;
  message.SourceAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.DestAddress = "07700900123";
  message.DestAddressTON = AddressTypeOfNumbers::tonNational;
  message.DestAddressNPI = AddressNumberPlanIndicators::npiISDN;
  message.MessageMode = MessagingModes::StoreAndForward;
  message.Priority = PriorityFlags::pfUrgent;
  message.RegisteredDelivery = RegisteredDeliveryTypes::SMSCOnSuccessOrFailure;
  message.ReplaceIfPresent = true;
  message.DataCoding = SMSDataCodingSchemes::dcsLatin1;
  message.ScheduledDeliveryTime = DateTime(2027, 1, 2, 3, 4, 5);
  message.ValidityRelative = true;
  message.ValidityHours = 48;
  message.ShortMessage = Variant("Caf\xE9 au lait");  // Latin-1, one octet a character
  message.CallbackNumber = "441234567";
  message.CallbackNumberTON = AddressTypeOfNumbers::tonInternational;
  message.CallbackNumberNPI = AddressNumberPlanIndicators::npiISDN;
  message.UserMessageReference("300");
  message.AddOptionalParamString(kSourcePortTag, std::string("\x0B\xB8", 2));
  message.AddOptionalParamString(kPrivateTag, "abc");

  EXPECT_EQ(smpp.SendMessage(message, true), "NPM-1") << Transcript();
  EXPECT_EQ(message.MessageID, "NPM-1");
  const auto submit = peer->WaitForReceived(loop, "submit_sm");
  ASSERT_TRUE(submit) << Transcript();
  const testing::FlatObject& pdu = *submit;
  EXPECT_EQ(ValueOf(pdu, "sequence_number"), std::to_string(message.SequenceNumber));
  EXPECT_EQ(ValueOf(pdu, "service_type"), "CMT");
  EXPECT_EQ(ValueOf(pdu, "source_addr_ton"), "1");
  EXPECT_EQ(ValueOf(pdu, "source_addr_npi"), "1");
  EXPECT_EQ(ValueOf(pdu, "source_addr"), "4477009");
  EXPECT_EQ(ValueOf(pdu, "dest_addr_ton"), "2");
  EXPECT_EQ(ValueOf(pdu, "dest_addr_npi"), "1");
  EXPECT_EQ(ValueOf(pdu, "destination_addr"), "07700900123");
  EXPECT_EQ(ValueOf(pdu, "esm_class"), "3");
  EXPECT_EQ(ValueOf(pdu, "protocol_id"), "52");  // the session's ProtocolID
  EXPECT_EQ(ValueOf(pdu, "priority_flag"), "2");
  EXPECT_EQ(ValueOf(pdu, "schedule_delivery_time"),
            UtcIsoOf(message.ScheduledDeliveryTime, smpp.TimeZoneBias()));
  EXPECT_EQ(ValueOf(pdu, "raw.schedule_delivery_time"), "2701020304050" + smpp.TimeZoneBias());
  EXPECT_EQ(ValueOf(pdu, "raw.validity_period"), "000000480000000R");
  EXPECT_EQ(ValueOf(pdu, "registered_delivery"), "1");
  EXPECT_EQ(ValueOf(pdu, "replace_if_present_flag"), "1");
  EXPECT_EQ(ValueOf(pdu, "data_coding"), "3");
  EXPECT_EQ(ValueOf(pdu, "sm_default_msg_id"), "0");
  EXPECT_EQ(ValueOf(pdu, "short_message.message"), "Caf\xC3\xA9 au lait");  // as UTF-8
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.digit_mode"), "0");
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.ton"), "1");
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.npi"), "1");
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.number"), "441234567");
  EXPECT_EQ(ValueOf(pdu, "user_message_reference"), "300");
  EXPECT_EQ(ValueOf(pdu, "source_port"), "3000");
  EXPECT_EQ(ValueOf(pdu, "5123"), "616263");  // a tag the peer does not know: its octets
  EXPECT_EQ(ValueOf(pdu, "message_payload.message"), "");
}

TEST_F(SubmitInteropTest, BinaryBodyGoesInMessagePayload) {
  std::vector<uint8_t> body(300);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + 1);
  body[10] = 0;  // a zero octet inside the body
  MessageObject message = smpp.NewMessage();
  message.DestAddress = "1234";
  message.DataCoding = SMSDataCodingSchemes::dcs8BitBinaryA;
  message.Payload = Variant(body);

  EXPECT_EQ(smpp.SendMessage(message, true), "NPM-1") << Transcript();
  const auto submit = peer->WaitForReceived(loop, "submit_sm");
  ASSERT_TRUE(submit) << Transcript();
  EXPECT_EQ(ValueOf(*submit, "data_coding"), "2");
  EXPECT_EQ(ValueOf(*submit, "short_message.message"), "");
  EXPECT_EQ(ValueOf(*submit, "message_payload.message"), HexOf(body));
}

// A long UCS-2 text with a surrogate pair at a part boundary, in parts with
// a concatenation UDH and with SAR parameters: the peer decodes each part.
TEST_F(SubmitInteropTest, ConcatenatedPartsWithUdhAndSar) {
  const std::string text = "\xd0\x9f" + std::string(65, 'a') + "\xf0\x9f\x98\x80 ok";
  MessageObject prototype = smpp.NewMessage();
  prototype.DestAddress = "1234";
  for (const auto method : {text::SplitMethod::Udh8, text::SplitMethod::Sar}) {
    text::SplitOptions options;
    options.method = method;
    options.reference = 0x0102;
    std::vector<MessageObject> parts = text::SplitText(text, options, prototype);
    ASSERT_EQ(parts.size(), 2u);
    std::string joined;
    for (MessageObject& part : parts) {
      EXPECT_FALSE(smpp.SendMessage(part, true).empty()) << Transcript();
      const auto submit = peer->WaitForReceived(loop, "submit_sm");
      ASSERT_TRUE(submit) << Transcript();
      EXPECT_EQ(ValueOf(*submit, "data_coding"), "8");
      joined += ValueOf(*submit, "short_message.message");
      if (method == text::SplitMethod::Udh8) {
        EXPECT_EQ(ValueOf(*submit, "esm_class"), "64");
        // IEI 0, length 3, the reference's low octet, total, number.
        EXPECT_EQ(ValueOf(*submit, "short_message.udh.0"),
                  "00030202" + ("0" + std::to_string(&part - parts.data() + 1)));
      } else {
        EXPECT_EQ(ValueOf(*submit, "esm_class"), "0");
        EXPECT_EQ(ValueOf(*submit, "sar_msg_ref_num"), "258");
        EXPECT_EQ(ValueOf(*submit, "sar_total_segments"), "2");
        EXPECT_EQ(ValueOf(*submit, "sar_segment_seqnum"), std::to_string(&part - parts.data() + 1));
      }
    }
    EXPECT_EQ(joined, text);
  }
}

TEST_F(SubmitInteropTest, SubmitMultiToAddressesAndAList) {
  const std::string text(300, 'p');
  MessageObject message = smpp.NewMessage();
  message.SourceAddress = "4477";
  message.AddDistributionList("FRIENDS");
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
  message.AddRecipient(AddressTypeOfNumbers::tonNational, AddressNumberPlanIndicators::npiISDN,
                       "0612");
  message.Payload = Variant(text);
  message.CallbackNumber = "*99#";  // not all digits: digit mode 1
  message.UserMessageReference("7");

  EXPECT_EQ(smpp.SendMessage(message, true), "MULTI-1") << Transcript();
  ASSERT_EQ(events.Named("MessageDelivered").size(), 1u);
  EXPECT_EQ(events.Named("MessageDelivered")[0].message.MessageID, "MULTI-1");
  const auto submit = peer->WaitForReceived(loop, "submit_multi");
  ASSERT_TRUE(submit) << Transcript();
  const testing::FlatObject& pdu = *submit;
  EXPECT_EQ(ValueOf(pdu, "sequence_number"), std::to_string(message.SequenceNumber));
  EXPECT_EQ(ValueOf(pdu, "source_addr"), "4477");
  EXPECT_EQ(ValueOf(pdu, "dest_address.0.dest_addr_ton"), "1");
  EXPECT_EQ(ValueOf(pdu, "dest_address.0.dest_addr_npi"), "1");
  EXPECT_EQ(ValueOf(pdu, "dest_address.0.destination_addr"), "447700900001");
  EXPECT_EQ(ValueOf(pdu, "dest_address.1.dest_addr_ton"), "2");
  EXPECT_EQ(ValueOf(pdu, "dest_address.1.dest_addr_npi"), "1");
  EXPECT_EQ(ValueOf(pdu, "dest_address.1.destination_addr"), "0612");
  EXPECT_EQ(ValueOf(pdu, "dest_address.2.dl_name"), "FRIENDS");
  EXPECT_EQ(pdu.count("dest_address.3.dl_name") + pdu.count("dest_address.3.destination_addr"), 0u);
  EXPECT_EQ(ValueOf(pdu, "short_message.message"), "");
  EXPECT_EQ(ValueOf(pdu, "message_payload.message"), text);
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.digit_mode"), "1");
  EXPECT_EQ(ValueOf(pdu, "callback_num.0.number"), "*99#");
  EXPECT_EQ(ValueOf(pdu, "user_message_reference"), "7");
}

TEST_F(SubmitInteropTest, SubmitMultiAnswerWithUnsuccessfulDestinations) {
  ASSERT_TRUE(peer->AnswerWith(loop, "submit_multi", R"({"unsuccess_sme": [
      {"dest_addr_ton": 1, "dest_addr_npi": 1, "destination_addr": "447700900001",
       "error_status_code": 11},
      {"dest_addr_ton": 2, "dest_addr_npi": 8, "destination_addr": "0612",
       "error_status_code": 69}]})"));
  MessageObject message = smpp.NewMessage();
  message.AddRecipient(AddressTypeOfNumbers::tonInternational, AddressNumberPlanIndicators::npiISDN,
                       "447700900001");
  message.AddRecipient(AddressTypeOfNumbers::tonNational, AddressNumberPlanIndicators::npiISDN,
                       "0612");
  message.ShortMessage = Variant("multi");

  EXPECT_EQ(smpp.SendMessage(message, true), "MULTI-1") << Transcript();
  ASSERT_EQ(events.Named("MessageDelivered").size(), 1u) << Transcript();
  const MessageObject answer = events.Named("MessageDelivered")[0].message;
  EXPECT_EQ(answer.UnsuccessfulDeliveries, 2);
  ASSERT_EQ(answer.Recipients.size(), 2u);
  EXPECT_EQ(answer.Recipients[0].AddressTON, AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(answer.Recipients[0].AddressNPI, AddressNumberPlanIndicators::npiISDN);
  EXPECT_EQ(answer.Recipients[0].Address, "447700900001");
  EXPECT_EQ(answer.Recipients[0].StatusCode, 11);
  EXPECT_EQ(answer.Recipients[1].AddressTON, AddressTypeOfNumbers::tonNational);
  EXPECT_EQ(static_cast<int>(answer.Recipients[1].AddressNPI), 8);
  EXPECT_EQ(answer.Recipients[1].Address, "0612");
  EXPECT_EQ(answer.Recipients[1].StatusCode, 69);
}

}  // namespace
}  // namespace korvane
