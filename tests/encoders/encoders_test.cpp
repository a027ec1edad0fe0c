// The encoders byte for byte. The session's: a bind carries the settings in
// order, an octet out of range is sent as 0 and kept as a fault; header-only
// PDUs and the responses echo the sequence octets. The messages' (submit_sm /
// submit_multi, deliver_sm, query_sm, cancel_sm): one row per PDU. A row's setup is
// "key=value|..." applied in order: a member put by name, "hex:<member>" /
// "int:<member>" a bytes / number value, "Schedule=y,m,d,h,min,s",
// "Recipient=ton/npi/address", "List=<name>", "Recipients=<count>" (as is),
// "TLV=<tag>/<text>", "RawTLV=<tag>/<length>/<value>" (pushed as it is),
// "ctx.no_payload" / "ctx.multi" for the session's part.
// Its expectations: "hex=" the whole PDU, "@<offset>=" the octets from
// there on starting so, "size=", "error=".
#include <gtest/gtest.h>

#include <cstdio>

#include "encoders/deliver_encoder.hpp"
#include "encoders/query_cancel_encoders.hpp"
#include "encoders/session_encoders.hpp"
#include "encoders/submit_encoder.hpp"
#include "support/test_util.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane {
namespace {

using namespace std::string_literals;
using testing::ErrorNumberOf;
using testing::Hex;
using testing::HexText;

void ForEachPair(const std::string& pairs, const auto& each) {
  std::istringstream in(pairs);
  for (std::string pair; std::getline(in, pair, '|');)
    if (!pair.empty()) each(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
}

// What to encode: 'S'ubmit, 'D'eliver, 'Q'uery or 'C'ancel, after `setup`.
std::vector<uint8_t> Encode(char kind, const std::string& setup) {
  MessageObject m;
  m.DestAddress = "1234";
  bool multi = false, no_payload = false;
  const int protocol_id = kind == 'D' ? 52 : 51;
  ForEachPair(setup, [&](const std::string& key, const std::string& value) {
    int n[6] = {};
    std::sscanf(value.c_str(), "%d%*c%d%*c%d%*c%d%*c%d%*c%d", &n[0], &n[1], &n[2], &n[3], &n[4],
                &n[5]);
    const std::string last = value.substr(value.rfind('/') + 1);
    if (key.starts_with("hex:")) return m.PutMember(key.substr(4), Variant(Hex(value)));
    if (key.starts_with("int:")) return m.PutMember(key.substr(4), Variant(int64_t{n[0]}));
    if (key == "Schedule")
      return void(m.ScheduledDeliveryTime = DateTime(n[0], n[1], n[2], n[3], n[4], n[5]));
    if (key == "Recipient")
      return m.AddRecipient(AddressTypeOfNumbers{n[0]}, AddressNumberPlanIndicators{n[1]}, last);
    if (key == "List") return m.AddDistributionList(value);
    if (key == "Recipients")
      return m.Recipients.assign(n[0], {MultiDestAddressTypes::SME, {}, {}, "1", 0});
    if (key == "TLV") return m.AddOptionalParamString(n[0], last);
    if (key == "RawTLV") return m.TLVs.push_back({n[0], n[1], last});
    if (key == "ctx.no_payload" || key == "ctx.multi")
      return void((key == "ctx.multi" ? multi : no_payload) = true);
    m.PutMember(key, Variant(value));
  });
  const DateTime now(2004, 3, 9, 14, 5, 7);
  switch (kind) {
    case 'S':
      return encoders::EncodeSubmit(m, {multi, protocol_id, no_payload, now, "04+"}, 4);
    case 'D':
      return encoders::EncodeDeliver(m, {protocol_id, no_payload, now, "04+"}, 4);
    case 'Q':
      return encoders::EncodeQuery(m, 5);
    default:
      return encoders::EncodeCancel(m, 9);
  }
}

std::string HexOf(const std::string& text) { return HexText(testing::Octets(text)); }
std::string Zeros(std::size_t count) { return HexText(std::vector<uint8_t>(count)); }

const std::tuple<char, std::string, std::string> kRows[] = {
    {'S',
     "ServiceType=CMT|SourceAddress=44|SourceAddressTON=1|SourceAddressNPI=1|MessageType=64|"
     "MessageMode=3|Priority=1|RegisteredDelivery=1|ReplaceIfPresent=1|DataCoding=8|DefaultMsgId=7",
     "hex=00 00 00 2A 00 00 00 04 00 00 00 00 00 00 00 04 "
     "43 4D 54 00 01 01 34 34 00 00 00 31 32 33 34 00 43 33 01 00 00 01 01 08 07 00"},
    // Validity: relative from the counts (seconds win; carried into days),
    // absolute from now, or the string as given (its first 17). The schedule:
    // deliver_sm's vector.
    {'S', "ValidityRelative=1|ValidityHours=99", "@31=" + HexOf("000000990000000R") + " 00"},
    {'S', "ValidityRelative=1|ValiditySeconds=1|ValidityHours=5",
     "@31=" + HexOf("000000000001000R")},
    {'S', "ValidityRelative=1|ValidityHours=120", "@31=" + HexOf("000005000000000R") + " 00"},
    {'S', "ValidityHours=2", "@31=" + HexOf("040309160507004+") + " 00"},
    {'S', "ValidityRelative=1|ValiditySeconds=30|ValidityPeriodString=01234567890123456789",
     "@31=" + HexOf("01234567890123456") + " 00"},
    // The body: text cut to 255, bytes as they are, a number's text, a
    // payload (dropped when text and the session says so; bytes always go).
    {'S', "ShortMessage=" + std::string(300, 'x'), "@36=FF 78|size=292"},
    {'S', "hex:ShortMessage=" + HexText(std::vector<uint8_t>(140, 0xA5)), "@36=8C A5|size=177"},
    {'S', "int:ShortMessage=42", "@36=02 34 32"},
    {'S', "ShortMessage=Hi|Payload=" + std::string(400, 'p'), "@36=00 04 24 01 90 70|size=441"},
    {'S', "ShortMessage=Hi|Payload=" + std::string(400, 'p') + "|ctx.no_payload=1",
     "@36=02 48 69|size=39"},
    {'S', "ShortMessage=Hi|hex:Payload=01 02 03|ctx.no_payload=1", "@36=00 04 24 00 03 01 02 03"},
    // Optional parameters follow the body in order; a callback number with
    // a letter has digit mode 1 and is cut to 15; a TON without an octet is 0.
    {'S', "CallbackNumber=12|CallbackNumberTON=1|UserMessageReference=300|TLV=5123/abc",
     "@36=00 03 81 00 05 00 01 00 31 32 02 04 00 02 01 2C 14 03 00 03 61 62 63|size=59"},
    {'S', "CallbackNumber=A23456789012345678|CallbackNumberTON=300|UserMessageReference=0",
     "@36=00 03 81 00 12 01 00 00 41 32 33 34 35 36 37 38 39 30 31 32 33 34 35|size=59"},
    // submit_multi: SME addresses before distribution lists.
    {'S', "List=L1|Recipient=1/1/A|Recipient=2/1/B|ctx.multi=1",
     "hex=00 00 00 2D 00 00 00 21 00 00 00 00 00 00 00 04 "
     "00 00 00 00 03 01 01 01 41 00 01 02 01 42 00 02 4C 31 00 00 33 00 00 00 00 00 00 00 00"},
    // Values that do not fit their field are refused (the shared fields once,
    // for both requests); the limits fit.
    {'S', "SourceAddressTON=256", "error=6"},
    {'S', "MessageType=128|MessageMode=128", "error=6"},
    {'S', "hex:ShortMessage=" + Zeros(256), "error=6"},
    {'S', "Payload=" + std::string(65536, 'p'), "error=6"},
    {'S', "RawTLV=65536/1/x", "error=6"},
    {'S', "RawTLV=5120/65536/" + std::string(65536, 'v'), "error=6"},
    {'S', "RawTLV=5120/5/abc", "error=5"},
    {'S', "Recipients=256|ctx.multi=1", "error=6"},
    {'S', "SourceAddress=12\0003"s, "error=5"},
    {'S', "Schedule=2004,2,30,0,0,0", "error=5"},
    {'S',
     "hex:ShortMessage=" + Zeros(255) + "|hex:Payload=" + Zeros(65535) +
         "|ValidityRelative=1|ValidityHours=2399",
     "size=65592"},
    // deliver_sm (the fields it shares with submit_sm shown there): the recipient list, the
    // reference and the host's parameters are not sent; validity is relative hours only.
    {'D', "Recipient=1/1/4|DestAddress=1234|UserMessageReference=300|TLV=5123/abc|Payload=x",
     "size=37"},
    {'D',
     "ValidityHours=2|ValiditySeconds=30|ValidityRelative=1|Schedule=2004,3,10,8,0,0|ShortMessage="
     "Hi",
     "hex=00 00 00 47 00 00 00 05 00 00 00 00 00 00 00 04 00 00 00 00 00 00 31 32 33 34 00 00 34 "
     "00 " +
         HexOf("040310080000004+") + " 00 " + HexOf("040309160507004+") +
         " 00 00 00 00 00 02 48 69"},
    {'D', "ValiditySeconds=30|ValidityRelative=1", "@27=00 34 00 00 00"},
    // The payload mode follows MessageType and the session's switch; in it
    // the text is not cut; a byte body goes out as it is.
    {'D', "ShortMessage=Hello|MessageType=4|ctx.no_payload=1", "@36=05 48 65 6C 6C 6F|size=42"},
    {'D', "ShortMessage=" + std::string(300, 'x') + "|MessageType=4",
     "@36=00 04 24 01 2C 78|size=341"},
    // The callback number carries the source address's TON and NPI.
    {'D', "SourceAddressTON=1|SourceAddressNPI=1|CallbackNumberTON=2|CallbackNumber=12345",
     "@36=00 03 81 00 08 00 01 01 31 32 33 34 35|size=49"},
    {'D', "CallbackNumber=   ", "@36=00|size=37"},
    {'D', "ShortMessage=" + std::string(256, 'x'), "error=6"},
    {'D', "ShortMessage=" + std::string(255, 'x'), "size=292"},
    // query_sm and cancel_sm: the fields in order; the length takes all
    // four octets; cancel_sm ignores the recipient list.
    {'Q', "MessageID=MSG1|SourceAddress=4479|SourceAddressTON=1|SourceAddressNPI=1",
     "hex=00 00 00 1C 00 00 00 03 00 00 00 00 00 00 00 05 4D 53 47 31 00 01 01 34 34 37 39 00"},
    {'Q', "MessageID=" + std::string(300, '7'), "@0=00 00 01 40|size=320"},
    {'C',
     "MessageID=M|ServiceType=C|SourceAddress=4|Recipient=1/1/7|DestAddress=5|DestAddressNPI=8",
     "hex=00 00 00 1C 00 00 00 08 00 00 00 00 00 00 00 09 43 00 4D 00 00 00 34 00 00 08 35 00"},
    {'Q', "DestAddressTON=-1", "error=0"},
};

TEST(EncodersTest, MessageVectors) {
  for (const auto& [kind, setup, expected] : kRows) {
    SCOPED_TRACE(setup.substr(0, 120));
    std::vector<uint8_t> pdu;
    const int error =
        ErrorNumberOf([&, &kind = kind, &setup = setup] { pdu = Encode(kind, setup); });
    const std::string hex = HexText(pdu);
    ForEachPair(expected, [&](const std::string& key, const std::string& value) {
      EXPECT_EQ(key == "error"  ? std::to_string(error)
                : key == "size" ? std::to_string(pdu.size())
                : key == "hex"  ? hex
                                : hex.substr(std::stoul(key.substr(1)) * 3, value.size()),
                value)
          << key;
    });
  }
}

TEST(EncodersTest, SessionVectors) {
  using namespace encoders;
  using namespace vocabulary;
  const EncodedBind bind = EncodeBind({kBindTransceiver, 2, "ab", "p", "", 0x34, 1, 1, "9"});
  const EncodedBind unfit = EncodeBind({kBindReceiver, 2, "", "", "", 256, -1, 2, ""});
  EXPECT_EQ(bind.faults.size() * 10 + unfit.faults.size(), 2u);
  EXPECT_EQ(unfit.faults.at(0).Number(), 6);
  const std::pair<std::vector<uint8_t>, const char*> rows[] = {
      {bind.pdu,
       "00 00 00 1B 00 00 00 09 00 00 00 00 00 00 00 02 61 62 00 70 00 00 34 01 01 39 00"},
      {unfit.pdu, "00 00 00 17 00 00 00 01 00 00 00 00 00 00 00 02 00 00 00 00 00 02 00"},
      {EncodeHeaderOnly(kEnquireLink, 1), "00 00 00 10 00 00 00 15 00 00 00 00 00 00 00 01"},
      {EncodeHeaderOnly(kUnbindResp, 0xFFFFFFFE),
       "00 00 00 10 80 00 00 06 00 00 00 00 FF FF FF FE"},
      {EncodeDeliverSmResp(0x80000001), "00 00 00 11 80 00 00 05 00 00 00 00 80 00 00 01 00"},
      {EncodeDataSmResp(0x0000012C), "00 00 00 11 80 00 01 03 00 00 00 00 00 00 01 2C 00"},
      {EncodeGenericNack(kStatusInvalidCommandId, 7),
       "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 07"}};
  for (const auto& [pdu, hex] : rows) EXPECT_EQ(HexText(pdu), hex);
}

}  // namespace
}  // namespace korvane
