// MessageObject: validated properties, recipients, optional parameters and
// by-name member access.
#include <gtest/gtest.h>

#include <utility>

#include "korvane/message_object.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ErrorNumberOf;
constexpr auto kTon = AddressTypeOfNumbers::tonNational;
constexpr auto kNpi = AddressNumberPlanIndicators::npiISDN;

// A recipient cuts its address to 21 and clears the single destination; the
// 255th raises the report and changes nothing. Validated properties keep
// only their range. Members go by their exact names.
TEST(MessageObjectTest, RecipientsPropertiesAndMembers) {
  MessageObject m;
  m.DestAddress = "4479001";
  m.DestAddressTON = kTon;
  m.DestAddressNPI = kNpi;
  m.AddRecipient(kTon, kNpi, "123456789012345678901234567890");
  m.AddDistributionList("Sales");
  std::string text =
      m.DestAddress + std::to_string(int(m.DestAddressTON)) + std::to_string(int(m.DestAddressNPI));
  for (const Recipient& r : m.Recipients)
    text += "|" + std::to_string(int(r.DestAddressType)) + "/" + std::to_string(int(r.AddressTON)) +
            "/" + std::to_string(int(r.AddressNPI)) + "/" + r.Address;
  EXPECT_EQ(text, "00|1/2/1/123456789012345678901|2/0/0/Sales");
  for (int i = 2; i < 254; ++i) m.AddRecipient(kTon, kNpi, std::to_string(i));
  m.DestAddress = "4479001";
  try {
    m.AddRecipient(kTon, kNpi, "one too many");
    ADD_FAILURE() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_TRUE(e.Description().starts_with(
        "Error Number  :29928\r\nDescription   :Maximum number of recipients allowed is 254.\r\n"));
  }
  EXPECT_EQ(m.Recipients.size() + m.DestAddress.size(), 254u + 7);
  std::string read;  // each value as read back after it was given
  for (const char* given : {"65535", "abc", "2.5", "65536", "3.5"}) {
    m.UserMessageReference(given);
    read += m.UserMessageReference() + " ";
  }
  for (const int given : {255, -1, 255, 256}) {
    m.DefaultMsgId(given);
    read += std::to_string(m.DefaultMsgId()) + " ";
  }
  EXPECT_EQ(read, "65535 0 2 0 4 255 0 255 0 ");
  m.PutMember("DestAddress", 4479001);
  EXPECT_EQ(m.GetMember("DestAddress").ToText() + m.GetMember("Recipients.Count").ToText(),
            "4479001254");
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("Recipients.Count", 0); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { m.GetMember("destaddress"); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("ValiditySeconds", "abc"); }), 13);
}

// Duplicates are kept and lookups take the first; only bytes are added as
// bytes; an update moves the entry to the end; a removal takes every entry
// with the tag.
TEST(TlvListTest, AddLookUpUpdateAndRemove) {
  MessageObject m;
  const auto tags = [&] {
    std::string text;
    for (const TLV& tlv : m.TLVs)
      text += std::to_string(tlv.Tag) + ":" + std::to_string(tlv.TagLength) + " ";
    return text;
  };
  EXPECT_FALSE(m.RemoveTLV(1));
  m.AddOptionalParamString(1, "abc");
  m.AddOptionalParamString(1, "second");
  m.AddOptionalParamByte(2, Bytes{0x00, 0xFF});
  m.AddOptionalParamString(3, "");
  for (const Variant& v : {Variant("x"), Variant(5), Variant()}) m.AddOptionalParamByte(4, v);
  EXPECT_EQ(tags(), "1:3 1:6 2:2 3:0 ");
  EXPECT_EQ(m.GetOptionalParamStringValue(1), "abc");
  EXPECT_EQ(m.GetOptionalParamBytesValue(2), Variant(Bytes{0x00, 0xFF}));
  EXPECT_EQ(m.GetOptionalParamBytesValue(3), Variant(Bytes{}));
  EXPECT_TRUE(m.GetOptionalParamBytesValue(4).IsEmpty());
  EXPECT_TRUE(m.UpdateOptionalParamString(2, "new A"));
  EXPECT_EQ(m.GetOptionalParamStringValue(2), "new A");
  EXPECT_FALSE(m.UpdateOptionalParamString(9, "x") || m.UpdateOptionalParamBytes(9, Bytes{1}));
  EXPECT_EQ(ErrorNumberOf([&] { m.UpdateOptionalParamBytes(3, Variant("text")); }), 13);
  EXPECT_TRUE(m.RemoveTLV(1));
  EXPECT_EQ(tags(), "3:0 2:5 ");
}

}  // namespace
}  // namespace korvane
