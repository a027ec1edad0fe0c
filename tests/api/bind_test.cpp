#include <gtest/gtest.h>

#include <chrono>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::Hex;
using testing::MakePdu;

class BindTest : public testing::SessionFixture {
 protected:
  BindTest() {
    smpp.SystemID("abc");
    smpp.ProtocolID(static_cast<ProtocolIDs>(52));
  }
};

TEST_F(BindTest, BindTransmitterSendsTheExactPduAndReturnsOnceAccepted) {
  AnswerLikeAnSmsc();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  EXPECT_TRUE(smpp.ConnectedAndBound);
  EXPECT_EQ(socket.RemoteHost(), "smsc.test");
  EXPECT_EQ(socket.RemotePort(), 2775);
  ASSERT_EQ(socket.Sent().size(), 1u);
  EXPECT_EQ(socket.Sent()[0], Hex("00 00 00 1A 00 00 00 02 00 00 00 00 00 00 00 01 "
                                  "61 62 63 00 00 00 34 01 01 00"));
  EXPECT_EQ(events.Names(), std::vector<std::string>{"Bound"});
  // Connect at the first yield, the answer 10 ms after the request.
  EXPECT_LT(environment.Elapsed(), milliseconds(100));
}

TEST_F(BindTest, ReceiverAndTransceiverCarryTheAddressRangeAndFixedSequences) {
  smpp.ReceiverAddressRange("12");
  AnswerLikeAnSmsc();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsReceiver), 1);
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransceiver), 3);
  // Receiver, then the unbind of the second Bind (counted: 4), then transceiver.
  ASSERT_EQ(socket.Sent().size(), 3u);
  EXPECT_EQ(socket.Sent()[0], Hex("00 00 00 1C 00 00 00 01 00 00 00 00 00 00 00 02 "
                                  "61 62 63 00 00 00 34 01 01 31 32 00"));
  EXPECT_EQ(socket.Sent()[1], Hex("00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04"));
  EXPECT_EQ(socket.Sent()[2], Hex("00 00 00 1C 00 00 00 09 00 00 00 00 00 00 00 02 "
                                  "61 62 63 00 00 00 34 01 01 31 32 00"));
  EXPECT_EQ(events.Names(), (std::vector<std::string>{"Bound", "UnBound", "Bound"}));
}

TEST_F(BindTest, LongSettingsGiveAFourOctetCommandLength) {
  smpp.SystemID(std::string(300, 'x'));
  AnswerLikeAnSmsc();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  const std::vector<uint8_t>& pdu = socket.Sent().at(0);
  EXPECT_EQ(pdu.size(), 323u);
  EXPECT_EQ(std::vector<uint8_t>(pdu.begin(), pdu.begin() + 4), Hex("00 00 01 43"));
}

TEST_F(BindTest, AnOctetFieldOutOfRangeIsReportedAndSentAsZero) {
  smpp.ProtocolID(static_cast<ProtocolIDs>(300));
  AnswerLikeAnSmsc();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 2);
  ASSERT_EQ(events.Named("Error").size(), 1u);
  EXPECT_EQ(events.Named("Error")[0].number, 6);
  EXPECT_NE(events.Named("Error")[0].text.find("Procedure Name:BindAsTransmitter"),
            std::string::npos);
  EXPECT_EQ(socket.Sent().at(0)[22], 0x00);
  EXPECT_EQ(socket.Sent().at(0).size(), 26u);
}

TEST_F(BindTest, RefusedBindReportsTheStatusAndReturnsZeroAfterTheTimeout) {
  AnswerLikeAnSmsc(/*bind_status=*/0x0D);
  smpp.EnableDebugMessages(true);
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_FALSE(smpp.ConnectedAndBound);
  const auto errors = events.Named("Error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].number, 27013);
  EXPECT_EQ(errors[0].text, "Protocol Error : Bind Transmitter Bind Fail ");
  EXPECT_EQ(errors[1].number, 29002);
  EXPECT_EQ(errors[1].text, "Invalid Data in Transmitter Bind Segment");
  EXPECT_EQ(events.Named("DebugLog").at(0).text, errors[0].text);
  EXPECT_GE(environment.Elapsed(), seconds(5));
  EXPECT_LT(environment.Elapsed(), seconds(5) + milliseconds(50));
}

TEST_F(BindTest, InvalidBindingTypeSendsNothingAndWaitsTheTimeout) {
  AnswerLikeAnSmsc();
  smpp.OperationsTimeout(2);
  EXPECT_EQ(smpp.Bind(static_cast<BindTypes>(4)), 0);
  ASSERT_EQ(events.Named("Error").size(), 1u);
  EXPECT_EQ(events.Named("Error")[0].number, 20390);
  EXPECT_EQ(events.Named("Error")[0].text, "Invalid Binding Type");
  EXPECT_TRUE(socket.Sent().empty());
  EXPECT_GE(environment.Elapsed(), seconds(2));
  EXPECT_EQ(socket.State(), platform::kSocketConnected);  // the connection stays open
}

TEST_F(BindTest, ConnectFailuresReturnZeroWithOnlyTheSocketsError) {
  socket.RefuseConnect(milliseconds(30));
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_LT(environment.Elapsed(), milliseconds(100));
  ASSERT_EQ(events.Names(), std::vector<std::string>{"Error"});
  EXPECT_EQ(events.events[0].number, 10061);
  EXPECT_EQ(events.events[0].source, "Winsock");
  EXPECT_EQ(socket.State(), platform::kSocketClosed);

  // An endpoint that never answers: the connection timeout plus one yield.
  events.events.clear();
  socket.NeverAnswerConnect();
  const auto before = environment.Elapsed();
  EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransmitter), 0);
  EXPECT_GT(environment.Elapsed() - before, seconds(5));
  EXPECT_LE(environment.Elapsed() - before, seconds(5) + testing::FakeEnvironment::kYieldSlice);
  EXPECT_TRUE(events.events.empty());
  EXPECT_EQ(socket.State(), platform::kSocketClosed);
}

TEST_F(BindTest, UnbindSendsACountedUnbindAndClosesWhenAnswered) {
  BindAs(BindTypes::SmppBindAsTransmitter);
  const auto before = environment.Elapsed();
  smpp.Unbind();
  EXPECT_LT(environment.Elapsed() - before, milliseconds(50));
  EXPECT_EQ(socket.Sent().back(), Hex("00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04"));
  EXPECT_EQ(events.Names(), std::vector<std::string>{"UnBound"});
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(socket.State(), platform::kSocketClosed);
}

TEST_F(BindTest, UnansweredUnbindClosesAfterTheTimeoutAndLeavesTheSessionUnbound) {
  BindAs(BindTypes::SmppBindAsTransceiver);
  socket.AnswerWith(nullptr);
  smpp.OperationsTimeout(3);
  const auto before = environment.Elapsed();
  smpp.Unbind();
  EXPECT_GE(environment.Elapsed() - before, seconds(3));
  EXPECT_TRUE(events.events.empty());
  EXPECT_FALSE(smpp.ConnectedAndBound);
  EXPECT_EQ(socket.State(), platform::kSocketClosed);
}

TEST_F(BindTest, TracesEveryRequestWithItsLabel) {
  smpp.EnableTraceMessages(true);
  AnswerLikeAnSmsc();
  smpp.Bind(BindTypes::SmppBindAsReceiver);
  smpp.Unbind();
  std::vector<std::string> labels;
  for (const auto& trace : events.Named("TraceLog"))
    labels.push_back(trace.text.substr(0, trace.text.find(':')));
  EXPECT_EQ(labels, (std::vector<std::string>{"Sent Bind Receiver", "Received BIND_RECEIVER_RESP",
                                              "Sent Unbind", "Received UNBIND_RESP"}));
}

TEST(SessionLifetimeTest, DestroyingUnbindsOnlyAnOpenConnection) {
  testing::FakeEnvironment environment;
  testing::EventRecorder events;
  {
    SMPP idle(environment);
    idle.Subscribe(events);
  }
  EXPECT_TRUE(events.events.empty());

  std::vector<uint32_t> sent;
  {
    SMPP bound(environment);
    bound.SMPPServerAddress("smsc.test");
    environment.LastSocket()->AnswerWith([&sent](const std::vector<uint8_t>& request) {
      sent.push_back(testing::CommandIdOf(request));
      return MakePdu(testing::CommandIdOf(request) | 0x80000000u, 0,
                     testing::SequenceNumberOf(request));
    });
    EXPECT_EQ(bound.Bind(BindTypes::SmppBindAsTransmitter), 2);
    bound.Subscribe(events);
  }
  EXPECT_EQ(sent, (std::vector<uint32_t>{0x00000002, 0x00000006}));
  EXPECT_EQ(events.Names(), std::vector<std::string>{"UnBound"});
}

}  // namespace
}  // namespace korvane
