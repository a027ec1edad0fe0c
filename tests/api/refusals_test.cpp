// The refusals of the operations, one line each: what the call returned,
// LastMessageID and the message's SequenceNumber after it, the events, and
// that nothing was sent and no time passed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "api/api_fixture.hpp"

namespace korvane {
namespace {

using testing::Join;

class RefusalTest : public testing::ApiTest {
 protected:
  // Runs `call` on a message with MessageID "MSG4", DestAddress "1234" and
  // SequenceNumber 77, LastMessageID "old".
  std::string Refused(const std::function<std::string(MessageObject&)>& call) {
    MessageObject m;
    m.MessageID = "MSG4";
    m.DestAddress = "1234";
    m.SequenceNumber = 77;
    smpp.LastMessageID = "old";
    return Run([&] {
      const std::string result = call(m);
      return Join(result, smpp.LastMessageID, m.SequenceNumber);
    });
  }
  std::string Submit(MessageObject& m, bool wait = true) { return smpp.SendMessage(m, wait); }
  std::string Query(MessageObject& m, bool wait = true) {
    return std::to_string(smpp.QueryMessage(m, wait).IsEmpty());
  }
};

TEST_F(RefusalTest, UnboundOrUnconnected) {
  smpp.OperationsTimeout(10);
  EXPECT_EQ(Refused([&](MessageObject& m) { return Submit(m); }),
            "  77 | Error#98821{Not bound} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) { return Query(m); }),
            "1  77 | Error#98821{Not bound} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) {
              smpp.CancelMessage(m);
              return std::string("-");
            }),
            "- old 77 |  |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) {
              return std::to_string(smpp.DeliverShortMessage(m).IsEmpty());
            }),
            "1 old 4 | Error#29983[Winsock]{Error sending data. Not connected} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject&) { return std::to_string(smpp.EnquireLink()); }),
            "0 old 77 | Error#98821{Not bound} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject&) {
              smpp.Unbind();
              return std::string("-");
            }),
            "- old 77 | Error#29983[Winsock]{Error sending data. Not connected} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) {
              std::string outcome = "none";
              const bool taken = smpp.SubmitAsync(m, [&](const SubmitResult& r) {
                outcome = std::to_string(static_cast<int>(r.Outcome));
              });
              return Join(taken, outcome);
            }),
            "0 4 old 77 |  |  | 0ms");
}

TEST_F(RefusalTest, BoundButNotSendable) {
  smpp.OperationsTimeout(10);
  BindAs(BindTypes::SmppBindAsReceiver);
  EXPECT_EQ(Refused([&](MessageObject& m) { return Query(m); }),
            "1  77 | Error#98822{Invalid operation when Bound as receiver} |  | 0ms");
  BindAs(BindTypes::SmppBindAsTransmitter);
  EXPECT_EQ(Refused([&](MessageObject& m) {
              m.DestAddress = "";
              return Submit(m, false);
            }),
            "  77 | Error#28733{The recipients collection is empty and no DestAddress property "
            "specified.} |  | 0ms");
  // esm_class 328; the callback number is cut before encoding.
  EXPECT_EQ(Refused([&](MessageObject& m) {
              m.MessageType = MessageTypes::escmReplyPath;
              m.MessageMode = static_cast<MessagingModes>(200);
              m.CallbackNumber = "12345678901234567890";
              return Submit(m, false) + " " + m.CallbackNumber;
            }),
            " 123456789012345  77 | Error#6{@SubmitSMS} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) {
              m.SourceAddressTON = AddressTypeOfNumbers{256};
              return Query(m, false);
            }),
            "1  77 | Error#6{@QueryTSM} |  | 0ms");
  EXPECT_EQ(Refused([&](MessageObject& m) {
              m.ShortMessage = std::string(256, 'x');
              return std::to_string(smpp.DeliverShortMessage(m).IsEmpty());
            }),
            "1 old 77 | Error#6{@DeliverSM} |  | 0ms");
  socket.PeerClose();
  smpp.ConnectedAndBound = true;  // a host may set it
  EXPECT_EQ(Refused([&](MessageObject&) { return std::to_string(smpp.EnquireLink()); }),
            "0 old 77 | Error#29983[Winsock]{Error sending data. Not connected} |  | 0ms");
}

}  // namespace
}  // namespace korvane
