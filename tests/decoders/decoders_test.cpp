// The decoders, from hex vectors: one row per PDU, its expectations as
// "key=value|..." pairs. A key is a member of the decoded message as
// GetMember gives it, "hex:<member>" its octets in hex, "tlv:<tag>" the
// octets of a parameter in the TLV list, or one of the decoder's results
// ("faults", "lengths", "throws").
#include <gtest/gtest.h>

#include "decoders/deliver_sm_decoder.hpp"
#include "decoders/response_decoders.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using namespace std::string_literals;
using testing::ErrorNumberOf;
using testing::Hex;
using testing::HexText;

// service_type "", source 1/1 "+4479", destination 1/1 "12345".
const std::string kAddresses = "00 01 01 2B 34 34 37 39 00 01 01 31 32 33 34 35 00 ";
// esm_class 0 through sm_default_msg_id with data_coding 0.
const std::string kFields = "00 00 00 00 00 00 00 00 00 ";
const std::string kPlain = kAddresses + kFields;

std::string HexOf(const std::string& text) { return HexText(testing::Octets(text)); }

// A PDU of this command (deliver_sm unless named) around `body`, its length in its header.
std::vector<uint8_t> Pdu(const std::string& body, const std::string& command = "00 00 00 05",
                         const std::string& sequence = "00 00 00 07") {
  std::vector<uint8_t> pdu =
      Hex("00 00 00 00 " + command + " 00 00 00 00 " + sequence + " " + body);
  pdu[2] = static_cast<uint8_t>(pdu.size() >> 8);
  pdu[3] = static_cast<uint8_t>(pdu.size());
  return pdu;
}

std::string ValueOf(const decoders::DecodedDeliverSm& d, const std::string& key) {
  std::string faults;
  for (const ComponentError& fault : d.faults) faults += std::to_string(fault.Number()) + " ";
  if (key == "faults") return faults;
  if (key == "lengths")
    return std::to_string(d.declared_length) + "/" + std::to_string(d.received_length);
  if (key.starts_with("hex:")) return HexOf(d.message.GetMember(key.substr(4)).ToText());
  if (key.starts_with("tlv:"))
    return HexOf(
        d.message.GetOptionalParamBytesValue(std::stoi(key.substr(4), nullptr, 16)).ToText());
  return d.message.GetMember(key).ToText();
}

// Each PDU with its expectations.
const std::pair<std::vector<uint8_t>, std::string> kDeliverSm[] = {
    // Schedule "1", validity "2", replace_if_present and sm_default_msg_id
    // are not kept; NUL
    // octets stay in the short message.
    {Pdu("43 4D 54 00 05 00 41 42 00 00 08 00 43 7F 02 31 00 32 00 01 01 08 09 03 61 00 62"),
     "ServiceType=CMT|SourceAddressTON=5|SourceAddress=AB|DestAddressNPI=8|DestAddress=|"
     "MessageType=67|ProtocolID=127|Priority=2|RegisteredDelivery=1|ReplaceIfPresent=0|"
     "DataCoding=8|DefaultMsgId=0|ValidityPeriodString=|hex:ShortMessage=61 00 62|"
     "hex:ShortMessageBytes=61 00 62|MessageMode=0|SequenceNumber=7|TLVs.Count=0|faults=|"
     "lengths=3/3"},
    // A receipt: message_state is read, the other parameters are listed.
    {Pdu(kAddresses + "04 00 00 00 00 00 00 00 00 02 4F 4B 00 1E 00 05 4D 53 47 31 00 04 27 00 01 "
                      "02 04 23 00 03 03 00 00"),
     "MessageType=4|ShortMessage=OK|MessageState=2|TLVs.Count=2|tlv:1E=4D 53 47 31 00|"
     "tlv:423=03 00 00|DeliveryStatus=0|DeliveryErrorCode=0"},
    // Octets 1 are removed from the source address only; nothing but them
    // leaves the initial value.
    {Pdu("00 00 00 01 34 01 34 01 00 00 00 01 35 01 00 " + kFields + "00"),
     "SourceAddress=44|hex:DestAddress=01 35 01"},
    {Pdu("00 00 00 01 01 00 00 00 00 " + kFields + "00"), "SourceAddress="},
    // A payload "ppp", user_message_reference 0x0102, callback_num 55512 (digit mode 0, TON 1,
    // NPI 1), a second callback_num to the list, four spare octets.
    {Pdu(kPlain + "00 04 24 00 03 70 70 70 02 04 00 02 01 02 03 81 00 08 00 01 01 35 35 35 31 32 "
                  "03 81 00 04 01 02 03 39 00 05 00 01"),
     "ShortMessage=|hex:ShortMessageBytes=|Payload=ppp|PayloadBytes=ppp|UserMessageReference=258|"
     "CallbackNumber=55512|CallbackNumberTON=1|CallbackNumberNPI=1|TLVs.Count=1|"
     "tlv:381=01 02 03 39|faults="},
    // A short message or payload past the end.
    {Pdu(kPlain + "14 04 27 00 01 02 41 42 43 44 45"),
     "lengths=20/0|ShortMessage=|hex:ShortMessageBytes=" + HexText(std::vector<uint8_t>(20)) +
         "|MessageState=0|faults="},
    {Pdu(kPlain + "00 04 24 00 10 04 27 00 01 02 41 42 43"),
     "Payload=|hex:PayloadBytes=" + HexText(std::vector<uint8_t>(16)) + "|MessageState=0|faults="},
    // Faulty parameters stop the reading and are returned.
    {Pdu(kPlain + "01 41 14 03 00 02 61 62 14 04 00 09 61 62"),
     "faults=9 |TLVs.Count=1|ShortMessage=A"},
    {Pdu(kPlain + "01 41 02 04 00 01 07"), "faults=9 |TLVs.Count=0|ShortMessage=A"},
    {Pdu(kPlain + "00", "00 00 00 05", "80 00 00 01"), "faults=6 |SequenceNumber=0"},  // 2^31
    // A mandatory field that runs past the PDU cannot be decoded.
    {Pdu("00 01 01 34 34"), "throws=9"},
    // A data_sm: esm_class 4, registered_delivery 1, data_coding 8, then
    // parameters, read as a deliver_sm's are.
    {Pdu("43 4D 54 " + kAddresses + "04 01 08 04 24 00 02 48 69", "00 00 01 03"),
     "ServiceType=CMT|SourceAddress=+4479|SourceAddressTON=1|SourceAddressNPI=1|DestAddress=12345|"
     "DestAddressTON=1|DestAddressNPI=1|MessageType=4|RegisteredDelivery=1|"
     "DataCoding=8|SequenceNumber=7|Payload=Hi|faults=|lengths=0/0"},
    {Pdu("43 4D 54 " + kAddresses + "04 01 08 00 1E 00 09 41 42", "00 00 01 03"),
     "DataCoding=8|faults=9 "},
    {Pdu("43 4D 54", "00 00 01 03"), "throws=9"},
};

TEST(DeliverSmDecoderTest, Vectors) {
  for (const auto& [pdu, expected] : kDeliverSm) {
    SCOPED_TRACE(HexText(pdu));
    const auto decode = [&, &pdu = pdu] {
      return pdu[7] == 0x05 ? decoders::DecodeDeliverSm(pdu) : decoders::DecodeDataSm(pdu);
    };
    std::istringstream pairs(expected);
    for (std::string pair; std::getline(pairs, pair, '|');) {
      const std::string key = pair.substr(0, pair.find('='));
      const std::string value = pair.substr(pair.find('=') + 1);
      const std::string actual =
          key == "throws" ? std::to_string(ErrorNumberOf(decode)) : ValueOf(decode(), key);
      EXPECT_EQ(actual, value) << key;
    }
  }
}

const std::string kResp = "00 00 00 00 80 00 00 21 00 00 00 00 00 00 00 05 ";

TEST(ResponseDecodersTest, Vectors) {
  EXPECT_EQ(decoders::DecodeMessageId(Hex(kResp + "41 42 00")), "AB");
  EXPECT_EQ(ErrorNumberOf([] { decoders::DecodeMessageId(Hex(kResp + "41")); }), 9);
  // submit_multi_resp: the list ends with the PDU. message_id:count/entries,
  // then each entry's address:error.
  const std::pair<const char*, const char*> multi[] = {
      {"41 00", "A:0/0"},                                                  // no count at all
      {"41 00 02 01 01 35 00 00 00 00 0B 00 00 36 00 00", "A:2/1 5:11"}};  // second entry cut
  for (const auto& [body, expected] : multi) {
    const auto decoded = decoders::DecodeSubmitMultiResp(Hex(kResp + body));
    std::string found = decoded.message_id + ":" + std::to_string(decoded.no_unsuccess) + "/" +
                        std::to_string(decoded.unsuccessful.size());
    for (const auto& sme : decoded.unsuccessful)
      found += " " + sme.address + ":" + std::to_string(sme.error_status_code);
    EXPECT_EQ(found, expected);
  }
  // query_sm_resp: message_state and error_code are the last two octets.
  const auto query = decoders::DecodeQuerySmResp(Hex(kResp + "41 00 00 02 07"));
  EXPECT_EQ(query.message_state * 10 + query.error_code + query.fault.has_value(), 27);
  const auto cut = decoders::DecodeQuerySmResp(Hex(kResp + "41 00 39 39"));
  EXPECT_EQ(cut.message_id + std::to_string(cut.fault.value_or(ComponentError(0, "")).Number()),
            "A9");
  // A header-only response: a sequence_number beyond the signed range is a fault.
  const auto fits = decoders::DecodeHeaderResponse({.command_status = 17, .sequence_number = 9});
  EXPECT_EQ(fits.sequence_number * 100 + fits.command_status + fits.fault.has_value(), 917u);
  const auto beyond = decoders::DecodeHeaderResponse({.sequence_number = 0x80000000});
  EXPECT_EQ(beyond.sequence_number * 10 + beyond.fault.value_or(ComponentError(0, "")).Number(), 6);
}

}  // namespace
}  // namespace korvane
