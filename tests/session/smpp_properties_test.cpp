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

TEST_F(SmppPropertiesTest, NewSessionHasTheDocumentedDefaults) {
  EXPECT_EQ(smpp.OperationsTimeout(), 5);
  EXPECT_EQ(smpp.ConnectionTimeout(), 5);
  EXPECT_TRUE(smpp.AutoUnbindOnDestroy());
  EXPECT_EQ(smpp.ProtocolID(), ProtocolIDs::SMPPv33);
  EXPECT_EQ(smpp.AddressTON(), AddressTypeOfNumbers::tonInternational);
  EXPECT_EQ(smpp.AddressNPI(), AddressNumberPlanIndicators::npiISDN);
  EXPECT_EQ(smpp.DataCodingScheme(), SMSDataCodingSchemes::dcsSMSCDefault);
  EXPECT_EQ(smpp.AutoEnquireLinkInterval(), 0);
  EXPECT_FALSE(smpp.EnableDebugMessages());
  EXPECT_FALSE(smpp.EnableTraceMessages());
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_FALSE(smpp.ForceNoNullMessage);
  EXPECT_FALSE(smpp.ForceNoPayloadFieldUsage);
  EXPECT_FALSE(smpp.ReplaceNullWithSpace);
  EXPECT_EQ(smpp.LastMessageID, "");
  EXPECT_EQ(smpp.SMPPServerAddress(), "");
  EXPECT_EQ(smpp.SMPPServerPort(), 0);
  EXPECT_EQ(smpp.SystemID(), "");
  EXPECT_EQ(smpp.Password(), Variant(""));
  EXPECT_EQ(smpp.SystemType(), "");
  EXPECT_EQ(smpp.ReceiverAddressRange(), "");
  EXPECT_EQ(smpp.LocalIPAddress(), "");
  EXPECT_EQ(smpp.LocalTCPPort(), 0);
  EXPECT_EQ(smpp.SocketHandle(), 0);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(SmppPropertiesTest, PropertiesReadBackWhatWasWritten) {
  smpp.SMPPServerAddress("smsc.example.net");
  smpp.SMPPServerPort(2775);
  smpp.SystemType("VMA");
  smpp.ProtocolID(ProtocolIDs::SMPPv34);
  smpp.AddressTON(static_cast<AddressTypeOfNumbers>(300));
  smpp.AddressNPI(AddressNumberPlanIndicators::npiPrivate);
  smpp.DataCodingScheme(SMSDataCodingSchemes::dcsUCS2);
  smpp.EnableDebugMessages(true);
  smpp.EnableTraceMessages(true);
  smpp.AutoUnbindOnDestroy(false);
  smpp.OperationsTimeout(-3);
  smpp.ConnectionTimeout(30);
  smpp.AutoEnquireLinkInterval(30);
  smpp.LocalTCPPort(40001);
  EXPECT_EQ(smpp.SMPPServerAddress(), "smsc.example.net");
  EXPECT_EQ(smpp.SMPPServerPort(), 2775);
  EXPECT_EQ(smpp.SystemType(), "VMA");
  EXPECT_EQ(smpp.ProtocolID(), ProtocolIDs::SMPPv34);
  EXPECT_EQ(static_cast<int32_t>(smpp.AddressTON()), 300);  // checked only when a PDU is built
  EXPECT_EQ(smpp.AddressNPI(), AddressNumberPlanIndicators::npiPrivate);
  EXPECT_EQ(smpp.DataCodingScheme(), SMSDataCodingSchemes::dcsUCS2);
  EXPECT_TRUE(smpp.EnableDebugMessages());
  EXPECT_TRUE(smpp.EnableTraceMessages());
  EXPECT_FALSE(smpp.AutoUnbindOnDestroy());
  EXPECT_EQ(smpp.OperationsTimeout(), -3);
  EXPECT_EQ(smpp.ConnectionTimeout(), 30);
  EXPECT_EQ(smpp.AutoEnquireLinkInterval(), 30);
  EXPECT_EQ(smpp.LocalTCPPort(), 40001);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(SmppPropertiesTest, UserNameAndSystemIdAreOneField) {
  smpp.UserName("alpha");
  EXPECT_EQ(smpp.SystemID(), "alpha");
  smpp.SystemID("beta");
  EXPECT_EQ(smpp.UserName(), "beta");
}

TEST_F(SmppPropertiesTest, PasswordIsStoredAsText) {
  smpp.Password(Variant(1234));
  EXPECT_EQ(smpp.Password(), Variant("1234"));
  smpp.Password(Variant(std::vector<uint8_t>{'p', 'w'}));
  EXPECT_EQ(smpp.Password(), Variant("pw"));
}

TEST_F(SmppPropertiesTest, NegativeEnquireLinkIntervalReadsBackZero) {
  smpp.AutoEnquireLinkInterval(-5);
  EXPECT_EQ(smpp.AutoEnquireLinkInterval(), 0);
}

TEST_F(SmppPropertiesTest, ReceiverAddressRangeOf41CharactersIsStored) {
  const std::string range(41, '7');
  smpp.ReceiverAddressRange(range);
  EXPECT_EQ(smpp.ReceiverAddressRange(), range);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(SmppPropertiesTest, ReceiverAddressRangeOf42CharactersRaisesOneErrorAndKeepsTheOldValue) {
  smpp.ReceiverAddressRange("^447");
  smpp.ReceiverAddressRange(std::string(42, '7'));
  EXPECT_EQ(smpp.ReceiverAddressRange(), "^447");
  ASSERT_EQ(events.Names(), (std::vector<std::string>{"Error"}));
  const auto& error = events.events[0];
  EXPECT_EQ(error.number, 22342);
  EXPECT_EQ(error.source, "KorvaneSMPP");
  const auto lines = ReportLines(error.text);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Error Number  :22342");
  EXPECT_EQ(lines[1], "Description   :Invalid Address range length");
  EXPECT_EQ(lines[2], "Build Number  :1");
  EXPECT_EQ(lines[3], "Module Name   :SMPP");
  EXPECT_EQ(lines[4], "Procedure Name:ReceiverAddressRange[Property Let]");
  EXPECT_EQ(lines[5], "Line Number   :0");
  EXPECT_EQ(lines[6], "Date and time :" + environment.LocalNow().ToString());
}

TEST_F(SmppPropertiesTest, TwoSessionsCreatedAtTheSameInstantGetDifferentInstanceIds) {
  SMPP other(environment);
  EXPECT_NE(smpp.InstanceID, other.InstanceID);
  EXPECT_GE(smpp.InstanceID, 0);
  smpp.InstanceID = 7;
  EXPECT_EQ(smpp.InstanceID, 7);
}

TEST_F(SmppPropertiesTest, NewMessageIsAFreshIndependentObject) {
  MessageObject first = smpp.NewMessage();
  first.DestAddress = "1234";
  MessageObject second = smpp.NewMessage();
  EXPECT_EQ(second.DestAddress, "");
  EXPECT_TRUE(second.Recipients.empty());
  EXPECT_TRUE(second.TLVs.empty());
}

TEST_F(SmppPropertiesTest, AboutReportsTitleAndVersionThroughTheHook) {
  std::string title, version;
  SetAboutHandler([&](const std::string& t, const std::string& v) { title = t, version = v; });
  smpp.AboutKVSMPP();
  SetAboutHandler(nullptr);
  EXPECT_EQ(title, "KorvaneSMPP");
  EXPECT_EQ(version, KORVANE_VERSION);
}

}  // namespace
}  // namespace korvane
