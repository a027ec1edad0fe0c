#include "korvane/message_object.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "korvane/errors.hpp"

namespace korvane {
namespace {

constexpr auto kTon = AddressTypeOfNumbers::tonNational;
constexpr auto kNpi = AddressNumberPlanIndicators::npiISDN;

// The fields of a recipient, comparable as one value.
auto Fields(const Recipient& r) {
  return std::tie(r.DestAddressType, r.AddressTON, r.AddressNPI, r.Address, r.StatusCode);
}

TEST(MessageObjectTest, FreshObjectHoldsZeroValuesAndEmptyLists) {
  const MessageObject m;
  EXPECT_EQ(m.SourceAddressTON, AddressTypeOfNumbers::tonUnknown);
  EXPECT_TRUE(m.ScheduledDeliveryTime.IsZero());
  EXPECT_TRUE(m.ShortMessage.IsEmpty());
  EXPECT_EQ(m.UserMessageReference(), "0");
  EXPECT_TRUE(m.Recipients.empty() && m.TLVs.empty());
}

TEST(MessageObjectTest, AddingRecipientsCutsTheAddressAndClearsTheSingleDestination) {
  MessageObject m;
  m.DestAddress = "4479001";
  m.DestAddressTON = AddressTypeOfNumbers::tonInternational;
  m.DestAddressNPI = AddressNumberPlanIndicators::npiISDN;
  m.AddRecipient(kTon, kNpi, "123456789012345678901234567890");
  m.DestAddress = "4479002";
  m.AddDistributionList("Sales");
  EXPECT_EQ(m.DestAddress, "");
  EXPECT_EQ(m.DestAddressTON, AddressTypeOfNumbers::tonUnknown);
  EXPECT_EQ(m.DestAddressNPI, AddressNumberPlanIndicators::npiUnknown);
  ASSERT_EQ(m.Recipients.size(), 2u);
  const Recipient sme{MultiDestAddressTypes::SME, kTon, kNpi, "123456789012345678901", 0};
  const Recipient list{MultiDestAddressTypes::DistributionList, AddressTypeOfNumbers::tonUnknown,
                       AddressNumberPlanIndicators::npiUnknown, "Sales", 0};
  EXPECT_EQ(Fields(m.Recipients[0]), Fields(sme));
  EXPECT_EQ(Fields(m.Recipients[1]), Fields(list));
}

TEST(MessageObjectTest, The255thRecipientRaisesTheReportAndChangesNothing) {
  MessageObject m;
  for (int i = 0; i < 254; ++i) m.AddRecipient(kTon, kNpi, std::to_string(i));
  m.DestAddress = "4479001";
  try {
    m.AddRecipient(kTon, kNpi, "one too many");
    FAIL() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.Number(), 29928);
    EXPECT_EQ(e.Source(), "KorvaneSMPP");
    EXPECT_EQ(
        e.Description().rfind("Error Number  :29928\r\n"
                              "Description   :Maximum number of recipients allowed is 254.\r\n"
                              "Build Number  :1\r\n"
                              "Module Name   :MessageObject\r\n"
                              "Procedure Name:AddRecipient\r\n",
                              0),
        0u);
  }
  EXPECT_THROW(m.AddDistributionList("Sales"), ComponentError);
  EXPECT_EQ(m.Recipients.size(), 254u);
  EXPECT_EQ(m.DestAddress, "4479001");

  m.ClearRecipients();
  m.AddRecipient(kTon, kNpi, "99");
  ASSERT_EQ(m.Recipients.size(), 1u);
  EXPECT_EQ(m.Recipients[0].Address, "99");
}

TEST(MessageObjectTest, UserMessageReferenceStoresNumericTextsFrom0To65535) {
  const std::pair<const char*, const char*> cases[] = {
      {"65535", "65535"},
      {"65536", "0"},
      {"-1", "0"},
      {"abc", "0"},
      {"", "0"},
      {"12.0", "12"},
      {" 7 ", "7"},
      {"2.5", "2"},
      {"65535.5", "0"},
      {"1e30", "0"},
      {"99999999999999999999", "0"},
  };
  for (const auto& [given, read_back] : cases) {
    MessageObject m;
    m.UserMessageReference("40");
    m.UserMessageReference(given);
    EXPECT_EQ(m.UserMessageReference(), read_back) << '"' << given << '"';
  }
}

TEST(MessageObjectTest, DefaultMsgIdStoresOnly0To255) {
  const std::pair<int16_t, int16_t> cases[] = {{255, 255}, {256, 0}, {-1, 0}, {17, 17}};
  for (const auto& [given, read_back] : cases) {
    MessageObject m;
    m.DefaultMsgId(9);
    m.DefaultMsgId(given);
    EXPECT_EQ(m.DefaultMsgId(), read_back) << given;
  }
}

}  // namespace
}  // namespace korvane
