// Binding against the npm peer: each of the three bind types, as the peer
// decodes them, and a bind the peer refuses.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "interop/interop_fixture.hpp"

namespace korvane {
namespace {

using testing::ValueOf;

struct BindCase {
  BindTypes type;
  const char* command;
};

void PrintTo(const BindCase& bind, std::ostream* out) { *out << bind.command; }

class BindInteropTest : public testing::InteropFixture,
                        public ::testing::WithParamInterface<BindCase> {};

TEST_P(BindInteropTest, PeerDecodesTheBindAndAcceptsIt) {
  smpp.SystemType("VMA");
  smpp.AddressTON(AddressTypeOfNumbers::tonInternational);
  smpp.AddressNPI(AddressNumberPlanIndicators::npiISDN);
  smpp.ReceiverAddressRange("^4477");
  ASSERT_EQ(smpp.Bind(GetParam().type), static_cast<int16_t>(GetParam().type)) << Transcript();
  EXPECT_TRUE(smpp.ConnectedAndBound);
  EXPECT_EQ(events.Named("Bound").size(), 1u);

  const auto bind = peer->WaitForReceived(loop, GetParam().command);
  ASSERT_TRUE(bind) << Transcript();
  EXPECT_EQ(ValueOf(*bind, "command_status"), "0");
  EXPECT_EQ(ValueOf(*bind, "system_id"), "korvane");
  EXPECT_EQ(ValueOf(*bind, "password"), "secret");
  EXPECT_EQ(ValueOf(*bind, "system_type"), "VMA");
  EXPECT_EQ(ValueOf(*bind, "interface_version"), "52");
  EXPECT_EQ(ValueOf(*bind, "addr_ton"), "1");
  EXPECT_EQ(ValueOf(*bind, "addr_npi"), "1");
  // A transmitter receives nothing, so its bind carries no address range.
  EXPECT_EQ(ValueOf(*bind, "address_range"),
            GetParam().type == BindTypes::SmppBindAsTransmitter ? "" : "^4477");
}

INSTANTIATE_TEST_SUITE_P(
    EachType, BindInteropTest,
    ::testing::Values(BindCase{BindTypes::SmppBindAsTransmitter, "bind_transmitter"},
                      BindCase{BindTypes::SmppBindAsReceiver, "bind_receiver"},
                      BindCase{BindTypes::SmppBindAsTransceiver, "bind_transceiver"}),
    [](const auto& info) { return std::string(info.param.command); });

using RefusedBindInteropTest = testing::InteropFixture;

// A refused bind waits out OperationsTimeout before it returns 0.
TEST_F(RefusedBindInteropTest, BindRefusedByThePeerReturnsZero) {
  smpp.OperationsTimeout(1);
  ASSERT_TRUE(peer->AnswerWith(loop, "bind_transceiver", R"({"command_status": 13})"))
      << Transcript();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransceiver), 0) << Transcript();
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_TRUE(events.Named("Bound").empty());
  EXPECT_FALSE(events.Named("Error").empty()) << Transcript();
}

}  // namespace
}  // namespace korvane
