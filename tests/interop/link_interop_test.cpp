// enquire_link and unbind in both directions against the npm peer.
#include <gtest/gtest.h>

#include <string>

#include "interop/interop_fixture.hpp"

namespace korvane {
namespace {

using testing::ValueOf;

class LinkInteropTest : public testing::InteropFixture {
 protected:
  void SetUp() override {
    InteropFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    BindAs(BindTypes::SmppBindAsTransceiver, "bind_transceiver");
  }
};

TEST_F(LinkInteropTest, OurEnquireLinkIsAnsweredAsLinkOk) {
  ASSERT_TRUE(smpp.EnquireLink());
  const auto enquire = peer->WaitForReceived(loop, "enquire_link");
  ASSERT_TRUE(enquire) << Transcript();
  EXPECT_EQ(ValueOf(*enquire, "command_length"), "16");
  ASSERT_TRUE(PumpUntilEvent("LinkOk")) << Transcript();
  EXPECT_TRUE(events.Named("Error").empty()) << Transcript();
}

TEST_F(LinkInteropTest, PeersEnquireLinkIsAnswered) {
  peer->Send("enquire_link");
  const auto sent = peer->WaitForSent(loop, "enquire_link");
  const auto resp = peer->WaitForReceived(loop, "enquire_link_resp");
  ASSERT_TRUE(sent && resp) << Transcript();
  EXPECT_EQ(ValueOf(*resp, "sequence_number"), ValueOf(*sent, "sequence_number"));
  EXPECT_EQ(ValueOf(*resp, "command_status"), "0");
  EXPECT_EQ(ValueOf(*resp, "command_length"), "16");
  ASSERT_EQ(events.Named("Warning").size(), 1u) << Transcript();
  EXPECT_EQ(events.Named("Warning")[0].number, 28282);
  EXPECT_TRUE(smpp.ConnectedAndBound);
}

TEST_F(LinkInteropTest, OurUnbindIsAnswered) {
  smpp.Unbind();
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(events.Named("UnBound").size(), 1u) << Transcript();
  EXPECT_TRUE(events.Named("Error").empty()) << Transcript();
  const auto unbind = peer->WaitForReceived(loop, "unbind");
  ASSERT_TRUE(unbind) << Transcript();
  EXPECT_EQ(ValueOf(*unbind, "command_length"), "16");
  // The peer closes the connection once it has answered.
  EXPECT_TRUE(peer->WaitFor(loop, [](const testing::FlatObject& line) {
    return ValueOf(line, "event") == "closed";
  })) << Transcript();
}

// The session answers an unbind from the SMSC and reports it as the Error
// "Invalid Data in UnBind Segment"; the peer then closes the connection.
TEST_F(LinkInteropTest, PeersUnbindIsAnsweredAndReported) {
  peer->Send("unbind");
  const auto sent = peer->WaitForSent(loop, "unbind");
  const auto resp = peer->WaitForReceived(loop, "unbind_resp");
  ASSERT_TRUE(sent && resp) << Transcript();
  EXPECT_EQ(ValueOf(*resp, "sequence_number"), ValueOf(*sent, "sequence_number"));
  EXPECT_EQ(ValueOf(*resp, "command_status"), "0");
  EXPECT_EQ(ValueOf(*resp, "command_length"), "16");
  ASSERT_TRUE(PumpUntilEvent("ConnectionClosed")) << Transcript();
  ASSERT_EQ(events.Named("Error").size(), 1u) << Transcript();
  EXPECT_EQ(events.Named("Error")[0].number, 29006);
  EXPECT_FALSE(smpp.ConnectedAndBound);
}

}  // namespace
}  // namespace korvane
