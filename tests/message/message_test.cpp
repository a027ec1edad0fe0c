// MessageObject: validated properties, recipients, optional
// parameters and by-name member access.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto kTon = AddressTypeOfNumbers::tonNational;
constexpr auto kNpi = AddressNumberPlanIndicators::npiISDN;

using testing::ErrorNumberOf;

// The fields of a recipient, comparable as one value.
auto Fields(const Recipient& r) {
  return std::tie(r.DestAddressType, r.AddressTON, r.AddressNPI, r.Address, r.StatusCode);
}

std::vector<int32_t> Tags(const MessageObject& m) {
  std::vector<int32_t> tags;
  for (const TLV& tlv : m.TLVs) tags.push_back(tlv.Tag);
  return tags;
}

TEST(MessageObjectTest, RecipientsCutTheAddressAndClearTheSingleDestination) {
  MessageObject m;
  m.DestAddress = "4479001";
  m.DestAddressTON = AddressTypeOfNumbers::tonInternational;
  m.DestAddressNPI = kNpi;
  m.AddRecipient(kTon, kNpi, "123456789012345678901234567890");
  EXPECT_EQ(m.DestAddress, "");
  EXPECT_EQ(m.DestAddressTON, AddressTypeOfNumbers::tonUnknown);
  EXPECT_EQ(m.DestAddressNPI, AddressNumberPlanIndicators::npiUnknown);
  m.AddDistributionList("Sales");
  ASSERT_EQ(m.Recipients.size(), 2u);
  EXPECT_EQ(Fields(m.Recipients[0]),
            Fields({MultiDestAddressTypes::SME, kTon, kNpi, "123456789012345678901", 0}));
  EXPECT_EQ(Fields(m.Recipients[1]),  // type 2, TON 0, NPI 0
            Fields({MultiDestAddressTypes::DistributionList, {}, {}, "Sales", 0}));
}

TEST(MessageObjectTest, The255thRecipientRaisesTheReportAndChangesNothing) {
  MessageObject m;
  for (int i = 0; i < 254; ++i) m.AddRecipient(kTon, kNpi, std::to_string(i));
  m.DestAddress = "4479001";
  try {
    m.AddRecipient(kTon, kNpi, "one too many");
    ADD_FAILURE() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.Number(), 29928);
    EXPECT_TRUE(e.Description().starts_with(
        "Error Number  :29928\r\nDescription   :Maximum number of recipients allowed is 254.\r\n"));
  }
  EXPECT_EQ(m.Recipients.size(), 254u);
  EXPECT_EQ(m.DestAddress, "4479001");
  m.ClearRecipients();
  EXPECT_TRUE(m.Recipients.empty());
}

TEST(MessageObjectTest, ValidatedPropertiesStoreOnlyTheirRange) {
  const std::pair<const char*, const char*> references[] = {
      {"65535", "65535"}, {"65536", "0"}, {"-1", "0"},  {"abc", "0"},
      {"", "0"},          {"12.0", "12"}, {"2.5", "2"}, {"3.5", "4"}};
  for (const auto& [given, read_back] : references) {
    MessageObject m;
    m.UserMessageReference("40");
    m.UserMessageReference(given);
    EXPECT_EQ(m.UserMessageReference(), read_back) << '"' << given << '"';
  }
  for (const auto& [given, read_back] : {std::pair<int, int>{255, 255}, {256, 0}, {-1, 0}}) {
    MessageObject m;
    m.DefaultMsgId(9);
    m.DefaultMsgId(given);
    EXPECT_EQ(m.DefaultMsgId(), read_back) << given;
  }
}

TEST(TlvListTest, DuplicatesAreKeptLookupsTakeTheFirstAndOnlyBytesAreAddedAsBytes) {
  MessageObject m;
  m.AddOptionalParamString(0x1403, "abc");
  m.AddOptionalParamString(0x1403, "second");
  m.AddOptionalParamByte(0x0201, Bytes{0x00, 0xFF});
  m.AddOptionalParamString(0x0202, "");
  for (const Variant& v : {Variant("x"), Variant(5), Variant()}) m.AddOptionalParamByte(0x0203, v);
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{0x1403, 0x1403, 0x0201, 0x0202}));
  EXPECT_EQ(m.GetOptionalParamStringValue(0x1403), "abc");
  EXPECT_EQ(m.TLVs[2].TagLength, 2);
  EXPECT_EQ(m.GetOptionalParamBytesValue(0x0201), Variant(Bytes{0x00, 0xFF}));
  EXPECT_EQ(m.GetOptionalParamBytesValue(0x0202), Variant(Bytes{}));
  EXPECT_TRUE(m.GetOptionalParamBytesValue(0x0204).IsEmpty());
}

TEST(TlvListTest, UpdateMovesTheEntryToTheEndAndRemoveTakesEveryEntryWithTheTag) {
  MessageObject m;
  EXPECT_FALSE(m.RemoveTLV(1));
  for (int32_t tag : {1, 2, 3}) m.AddOptionalParamString(tag, "v");
  EXPECT_TRUE(m.UpdateOptionalParamString(1, "new A"));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{2, 3, 1}));
  EXPECT_EQ(m.GetOptionalParamStringValue(1), "new A");
  EXPECT_FALSE(m.UpdateOptionalParamString(9, "x"));
  EXPECT_FALSE(m.UpdateOptionalParamBytes(9, Bytes{1}));
  EXPECT_EQ(ErrorNumberOf([&] { m.UpdateOptionalParamBytes(2, Variant("text")); }), 13);
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{2, 3, 1}));
  m.AddOptionalParamString(3, "again");
  EXPECT_TRUE(m.RemoveTLV(3));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{2, 1}));
}

TEST(MessageMembersTest, RoundTripsByNameWithEnumsAndBooleansAsIntegers) {
  MessageObject m;
  m.AddDistributionList("Sales");
  const std::pair<const char*, Variant> cases[] = {
      {"ServiceType", "CMT"}, {"DataCoding", 8}, {"ReplaceIfPresent", 1}, {"ReplaceIfPresent", 0}};
  for (const auto& [path, value] : cases) {
    m.PutMember(path, value);
    EXPECT_EQ(m.GetMember(path), value) << path;
  }
  EXPECT_EQ(m.DataCoding, SMSDataCodingSchemes::dcsUCS2);
  m.PutMember("DestAddress", 4479001);
  EXPECT_EQ(m.DestAddress, "4479001");
  EXPECT_EQ(m.GetMember("Recipients.Count"), Variant(1));
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("Recipients.Count", 0); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { m.GetMember("destaddress"); }), 438);  // names match exactly
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("ValiditySeconds", "abc"); }), 13);
}

}  // namespace
}  // namespace korvane
