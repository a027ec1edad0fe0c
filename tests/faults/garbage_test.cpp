// The SMSC sends what no SMSC should: lengths that cannot start a PDU, PDUs
// cut short inside their fields, commands the session does not know, and
// random octets. Each is reported as documented, never read past its end,
// and the session either goes on or closes the connection and binds again.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "faults/faults_fixture.hpp"

namespace korvane {
namespace {

using testing::Hex;
using testing::MakePdu;
using Names = std::vector<std::string>;

using GarbageTest = testing::FaultsFixture;

TEST_F(GarbageTest, LengthsOutsideTheLimitsCloseTheConnection) {
  for (const uint32_t length : {1u, 15u, 262145u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    BindAs(BindTypes::SmppBindAsTransceiver);
    std::vector<uint8_t> octets = MakePdu(0x80000015, 0, 1);
    octets[0] = static_cast<uint8_t>(length >> 24);
    octets[1] = static_cast<uint8_t>(length >> 16);
    octets[2] = static_cast<uint8_t>(length >> 8);
    octets[3] = static_cast<uint8_t>(length);
    octets.insert(octets.end(), testing::kEnquireLinkResp.begin(), testing::kEnquireLinkResp.end());
    smsc.Send(octets);
    ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
    ASSERT_EQ(events.Names(), (Names{"Error", "ConnectionClosed"}));  // nothing after the break
    EXPECT_EQ(events.events[0].number, 29984);
    EXPECT_EQ(events.events[0].text, "Invalid command_length " + std::to_string(length) +
                                         " received (allowed 16 to 262144). Connection closed");
    EXPECT_FALSE(smpp.ConnectedAndBound);
  }
}

// The longest admitted PDU arrives in many reads and is taken whole.
TEST_F(GarbageTest, ALengthAtTheLimitIsCutWhole) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  smsc.Send(MakePdu(0x80000103, 0, 9, std::vector<uint8_t>(262144 - 16, 0xA5)));  // data_sm_resp
  EXPECT_TRUE(StillFramed());
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
}

// Commands the session has no branch for raise nothing; the requests among
// them are answered with a generic_nack, the rest (and alert_notification)
// with nothing.
TEST_F(GarbageTest, UnknownCommandsAreIgnoredAndUnknownRequestsNacked) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  for (const uint32_t id : {0x80000103u, 0x00000102u, 0x000000FFu, 0x80000007u, 0x00010005u})
    smsc.Send(MakePdu(id, 0, 0x42, Hex("01 02 03")));
  EXPECT_TRUE(StillFramed());
  EXPECT_EQ(events.Names(), Names{"LinkOk"});
  // The bind and two generic_nacks, once they have crossed the loopback.
  EXPECT_TRUE(testing::PumpUntil(loop, [&] { return smsc.ReceivedCount() >= 3u; }));
  EXPECT_EQ(smsc.ReceivedCount(), 3u);
  EXPECT_TRUE(smpp.ConnectedAndBound);
}

// Responses and requests whose bodies end inside a field: the read fails
// with Error 9 and the PDU is abandoned, unacknowledged; what was read before
// the failing field stays read (a query_sm_resp's message_id already became
// LastMessageID). The connection stays.
TEST_F(GarbageTest, BodiesCutShortAreReportedAndAbandoned) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  struct Case {
    const char* name;
    std::vector<uint8_t> pdu;
    Names expected;
  };
  const std::vector<Case> cases = {
      {"submit_sm_resp without message_id", MakePdu(0x80000004, 0, 2, {}), {"Error"}},
      {"submit_sm_resp with an unterminated id",
       MakePdu(0x80000004, 0, 2, Hex("4D 53")),
       {"Error"}},
      {"query_sm_resp without final_date", MakePdu(0x80000003, 0, 3, Hex("41 00")), {"Error"}},
      {"deliver_sm with the header alone", MakePdu(0x00000005, 0, 4, {}), {"Error"}},
      {"deliver_sm ending in an address",
       MakePdu(0x00000005, 0, 5, Hex("00 01 01 34 34")),
       {"Error"}},
      {"bind_transceiver_resp without system_id", MakePdu(0x80000009, 0, 6, {}), {"Bound"}},
      {"generic_nack with a body",
       MakePdu(0x80000000, 3, 7, Hex("FF FF")),
       {"Error", "Warning", "GenericNACK"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.events.clear();
    smsc.Send(c.pdu);
    ASSERT_TRUE(StillFramed());
    Names expected = c.expected;
    expected.push_back("LinkOk");
    EXPECT_EQ(events.Names(), expected);
    const auto errors = events.Named("Error");
    if (!errors.empty()) {
      // A generic_nack reports its status; the others the failed read.
      const bool nack = testing::CommandIdOf(c.pdu) == 0x80000000;
      EXPECT_EQ(errors[0].number, nack ? 27003 : 9) << errors[0].text;
    }
  }
  EXPECT_EQ(smpp.LastMessageID, "A");
  EXPECT_EQ(smsc.ReceivedCount(), 1u);  // no deliver_sm was acknowledged
}

// A submit_multi_resp whose unsuccess_sme list ends early is still raised,
// with the entries that were whole.
TEST_F(GarbageTest, SubmitMultiRespWithAShortListKeepsTheWholeEntries) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  smsc.Send(MakePdu(0x80000021, 0, 2, Hex("4D 31 00 03 01 01 35 35 00 00 00 00 08 01 01 36 36")));
  ASSERT_TRUE(PumpUntilEvent("MessageDelivered"));
  const MessageObject message = events.Named("MessageDelivered")[0].message;
  EXPECT_EQ(message.MessageID, "M1");
  EXPECT_EQ(message.UnsuccessfulDeliveries, 3);
  ASSERT_EQ(message.Recipients.size(), 1u);
  EXPECT_EQ(message.Recipients[0].Address, "55");
  EXPECT_EQ(message.Recipients[0].StatusCode, 8);
  EXPECT_TRUE(StillFramed());
}

// A stream of PDUs with correct lengths but random command ids, statuses and
// bodies, then random octets and a close. Whatever is raised, the session
// never reads past a PDU, keeps framing, and binds again afterwards.
TEST_F(GarbageTest, RandomPdusAndOctetsNeverBreakTheSession) {
  const std::vector<uint32_t> ids = {0x80000000, 0x80000001, 0x80000002, 0x80000003, 0x80000004,
                                     0x00000005, 0x80000005, 0x80000006, 0x80000008, 0x80000009,
                                     0x00000015, 0x80000015, 0x80000021, 0x00000103, 0x00000004};
  for (uint32_t seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 generator(seed);
    const auto below = [&](uint32_t bound) { return static_cast<uint32_t>(generator() % bound); };
    BindAs(BindTypes::SmppBindAsTransceiver);
    std::vector<uint8_t> stream;
    for (int count = 0; count < 40; ++count) {
      std::vector<uint8_t> body(below(48));
      for (uint8_t& octet : body) octet = below(4) == 0 ? 0 : static_cast<uint8_t>(generator());
      const uint32_t status = below(3) == 0 ? below(0x100) : 0;
      const auto pdu = MakePdu(ids[below(ids.size())], status, generator(), body);
      stream.insert(stream.end(), pdu.begin(), pdu.end());
    }
    smsc.Send(stream);
    ASSERT_TRUE(StillFramed());
    std::vector<uint8_t> tail(below(64));
    for (uint8_t& octet : tail) octet = static_cast<uint8_t>(generator());
    smsc.Send(tail);
    smsc.Close();
    ASSERT_TRUE(PumpUntilEvent("ConnectionClosed"));
    EXPECT_EQ(events.Named("ConnectionClosed").size(), 1u);
    EXPECT_FALSE(smpp.ConnectedAndBound);
  }
  BindAs(BindTypes::SmppBindAsTransmitter);
}

}  // namespace
}  // namespace korvane
