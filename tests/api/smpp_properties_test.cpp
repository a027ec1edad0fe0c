#include <gtest/gtest.h>

#include <string>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"

namespace korvane {
namespace {

using testing::EventRecorder;
using testing::ReportLines;

class SmppPropertiesTest : public ::testing::Test {
 protected:
  SmppPropertiesTest() : smpp(environment) { smpp.Subscribe(events); }

  testing::FakeEnvironment environment;
  SMPP smpp;
  EventRecorder events;
};

// Values are stored unchecked (an out-of-range TON fails only when a PDU is
// built); the few properties with rules of their own apply them.
TEST_F(SmppPropertiesTest, PropertiesStoreWhatIsWrittenUnderTheirOwnRules) {
  smpp.AddressTON(static_cast<AddressTypeOfNumbers>(300));
  smpp.OperationsTimeout(-3);
  smpp.LocalTCPPort(40001);
  smpp.UserName("alpha");
  smpp.Password(Variant(1234));
  EXPECT_EQ(static_cast<int32_t>(smpp.AddressTON()), 300);
  EXPECT_EQ(smpp.OperationsTimeout(), -3);
  EXPECT_EQ(smpp.LocalTCPPort(), 40001);
  EXPECT_EQ(smpp.SystemID(), "alpha");  // one field, two names
  smpp.SystemID("beta");
  EXPECT_EQ(smpp.UserName(), "beta");
  EXPECT_EQ(smpp.Password(), Variant("1234"));
  EXPECT_TRUE(events.events.empty());
}

TEST_F(SmppPropertiesTest, ReceiverAddressRangeOver41CharactersRaisesOneErrorAndKeepsTheOldValue) {
  const std::string longest(41, '7');
  smpp.ReceiverAddressRange(longest);
  smpp.ReceiverAddressRange(std::string(42, '7'));
  EXPECT_EQ(smpp.ReceiverAddressRange(), longest);
  ASSERT_EQ(events.Names(), (std::vector<std::string>{"Error"}));
  const auto& error = events.events[0];
  EXPECT_EQ(error.number, 22342);
  EXPECT_EQ(error.source, "KorvaneSMPP");
  EXPECT_EQ(
      ReportLines(error.text),
      (std::vector<std::string>{
          "Error Number  :22342", "Description   :Invalid Address range length", "Build Number  :1",
          "Module Name   :SMPP", "Procedure Name:ReceiverAddressRange[Property Let]",
          "Line Number   :0", "Date and time :" + environment.LocalNow().ToString()}));
}

// Reports made outside the session's own reporter take their time from the
// session's environment too, not from the system clock.
TEST_F(SmppPropertiesTest, MessageObjectReportCarriesTheEnvironmentsTime) {
  MessageObject message;
  std::string report;
  try {
    for (int i = 0; i < 255; ++i)
      message.AddRecipient(AddressTypeOfNumbers::tonInternational,
                           AddressNumberPlanIndicators::npiISDN, std::to_string(i));
  } catch (const ComponentError& error) {
    report = error.Description();
  }
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(ReportLines(report).back(), "Date and time :" + environment.LocalNow().ToString());
}

TEST_F(SmppPropertiesTest, TwoSessionsCreatedAtTheSameInstantGetDifferentInstanceIds) {
  SMPP other(environment);
  EXPECT_NE(smpp.InstanceID, other.InstanceID);
  EXPECT_GE(smpp.InstanceID, 0);
  smpp.InstanceID = 7;
  EXPECT_EQ(smpp.InstanceID, 7);
}

TEST_F(SmppPropertiesTest, AboutReportsTitleAndVersionThroughTheHook) {
  std::string title, version;
  SetAboutHandler([&](const std::string& t, const std::string& v) { title = t, version = v; });
  smpp.AboutKVSMPP();
  SetAboutHandler(nullptr);
  EXPECT_EQ(title, "KorvaneSMPP");
  EXPECT_EQ(version, KORVANE_SMPP_VERSION_STRING);
}

}  // namespace
}  // namespace korvane
