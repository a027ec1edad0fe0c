#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"

namespace korvane {
namespace {

int32_t ErrorNumberOf(const auto& call) {
  try {
    call();
  } catch (const ComponentError& e) {
    return e.Number();
  }
  return 0;
}

TEST(MessageMembersTest, EveryKindRoundTripsByName) {
  const std::pair<const char*, Variant> cases[] = {
      {"ServiceType", "CMT"},
      {"SourceAddressTON", 5},
      {"ValidityRelative", 1},
      {"ValiditySeconds", -300},
      {"SequenceNumber", 2147483647},
      {"ShortMessage", std::vector<uint8_t>{0x00, 0xFF}},
      {"Payload", "text body"},
      {"DefaultMsgId", 255},
      {"UserMessageReference", "65535"},
      {"ValidityPeriodString", "000001000000000R"},
  };
  for (const auto& [path, value] : cases) {
    MessageObject m;
    m.PutMember(path, value);
    EXPECT_EQ(m.GetMember(path), value) << path;
  }
}

TEST(MessageMembersTest, WritesConvertToTheMembersType) {
  MessageObject m;
  m.PutMember("DestAddress", 4479001);
  m.PutMember("ValidityHours", " 12.5 ");
  m.PutMember("ReplaceIfPresent", -1);
  m.PutMember("ValidityRelative", "99999999999");
  m.PutMember("DataCoding", "8");
  m.PutMember("DefaultMsgId", 256);
  EXPECT_EQ(m.DestAddress, "4479001");
  EXPECT_EQ(m.ValidityHours, 12);
  EXPECT_TRUE(m.ReplaceIfPresent);
  EXPECT_TRUE(m.ValidityRelative);
  EXPECT_EQ(m.DataCoding, SMSDataCodingSchemes::dcsUCS2);
  EXPECT_EQ(m.DefaultMsgId(), 0);
  EXPECT_EQ(m.GetMember("ReplaceIfPresent"), Variant(1));
}

TEST(MessageMembersTest, ListCountsAreReadOnlyAndUnknownNamesAreNotSupported) {
  MessageObject m;
  m.AddDistributionList("Sales");
  m.AddOptionalParamString(1, "a");
  m.AddOptionalParamString(2, "b");
  EXPECT_EQ(m.GetMember("Recipients.Count"), Variant(1));
  EXPECT_EQ(m.GetMember("TLVs.Count"), Variant(2));
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("TLVs.Count", 0); }), 438);
  for (const char* path : {"NoSuchMember", "ScheduledDeliveryTime", "destaddress", "TLVs", ""}) {
    EXPECT_EQ(ErrorNumberOf([&] { (void)m.GetMember(path); }), 438) << path;
    EXPECT_EQ(ErrorNumberOf([&] { m.PutMember(path, "x"); }), 438) << path;
  }
}

TEST(MessageMembersTest, BadNumbersRaiseTypeMismatchOrOverflowAndKeepTheField) {
  MessageObject m;
  m.ValiditySeconds = 7;
  const std::pair<Variant, int32_t> cases[] = {
      {"abc", 13}, {Variant(), 13}, {std::vector<uint8_t>{1}, 13}, {32768, 6}, {"-32769", 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("ValiditySeconds", c.first); }), c.second);
  }
  EXPECT_EQ(ErrorNumberOf([&] { m.PutMember("SequenceNumber", int64_t{1} << 31); }), 6);
  EXPECT_EQ(m.ValiditySeconds, 7);
}

}  // namespace
}  // namespace korvane
