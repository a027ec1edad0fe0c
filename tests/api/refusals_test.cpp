// The refusals of the operations, one row each: the state the session is in,
// the call, what it returned, the events raised. A refused call sends
// nothing and returns at once.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/session_fixture.hpp"

namespace korvane {
namespace {

enum class Before { kNothing, kReceiver, kTransmitter, kPeerClosed };

struct Refusal {
  const char* what;
  Before before;
  // Makes the call on a message with MessageID "MSG4", DestAddress "1234"
  // and SequenceNumber 77; returns what the row checks.
  std::function<std::string(SMPP&, MessageObject&)> call;
  std::string result;
  const char* events;  // EventRecorder::Summary
};

class RefusalTest : public testing::SessionFixture,
                    public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, SendsNothingAndReturnsAtOnce) {
  const Refusal& row = GetParam();
  if (row.before == Before::kReceiver) BindAs(BindTypes::SmppBindAsReceiver);
  if (row.before == Before::kTransmitter) BindAs(BindTypes::SmppBindAsTransmitter);
  if (row.before == Before::kPeerClosed) {
    BindAs(BindTypes::SmppBindAsTransmitter);
    socket.PeerClose();
    smpp.ConnectedAndBound = true;  // a host may set it
    events.events.clear();
  }
  smpp.OperationsTimeout(10);
  smpp.LastMessageID = "old";
  MessageObject message;
  message.MessageID = "MSG4";
  message.DestAddress = "1234";
  message.SequenceNumber = 77;
  const std::size_t sent = socket.Sent().size();
  const auto start = environment.Elapsed();
  EXPECT_EQ(row.call(smpp, message), row.result);
  EXPECT_EQ(events.Summary(), row.events);
  EXPECT_EQ(socket.Sent().size(), sent);
  EXPECT_EQ(environment.Elapsed(), start);
}

std::string Id(const std::string& id, const SMPP& smpp, const MessageObject& message) {
  return id + "/" + smpp.LastMessageID + "/" + std::to_string(message.SequenceNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, RefusalTest,
    ::testing::Values(
        Refusal{"submit unbound", Before::kNothing,
                [](SMPP& s, MessageObject& m) {
                  const std::string id = s.SendMessage(m, true);
                  return Id(id, s, m);
                },
                "//77", "Error#98821{Not bound}"},
        Refusal{"submit without destination", Before::kTransmitter,
                [](SMPP& s, MessageObject& m) {
                  m.DestAddress = "";
                  const std::string id = s.SendMessage(m, false);
                  return Id(id, s, m);
                },
                "//77",
                "Error#28733{The recipients collection is empty and no DestAddress property "
                "specified.}"},
        Refusal{"esm_class over one octet", Before::kTransmitter,
                [](SMPP& s, MessageObject& m) {
                  m.MessageType = MessageTypes::escmReplyPath;
                  m.MessageMode = static_cast<MessagingModes>(200);  // esm_class 328
                  m.CallbackNumber = "12345678901234567890";         // cut before encoding
                  const std::string id = s.SendMessage(m);
                  return Id(id, s, m) + "/" + m.CallbackNumber;
                },
                "//77/123456789012345", "Error#6{@SubmitSMS}"},
        Refusal{"query unbound", Before::kNothing,
                [](SMPP& s, MessageObject& m) {
                  const bool empty = s.QueryMessage(m, true).IsEmpty();
                  return std::to_string(empty) + Id("", s, m);
                },
                "1//77", "Error#98821{Not bound}"},
        Refusal{"query as receiver", Before::kReceiver,
                [](SMPP& s, MessageObject& m) {
                  const bool empty = s.QueryMessage(m, true).IsEmpty();
                  return std::to_string(empty) + Id("", s, m);
                },
                "1//77", "Error#98822{Invalid operation when Bound as receiver}"},
        Refusal{"query with a TON over one octet", Before::kTransmitter,
                [](SMPP& s, MessageObject& m) {
                  m.SourceAddressTON = AddressTypeOfNumbers{256};
                  s.QueryMessage(m);
                  return Id("", s, m);
                },
                "//77", "Error#6{@QueryTSM}"},
        Refusal{"cancel unconnected", Before::kNothing,
                [](SMPP& s, MessageObject& m) {
                  s.CancelMessage(m);
                  return Id("", s, m);
                },
                "/old/77", ""},
        Refusal{"deliver unconnected", Before::kNothing,
                [](SMPP& s, MessageObject& m) {
                  const bool empty = s.DeliverShortMessage(m).IsEmpty();
                  return std::to_string(empty) + Id("", s, m);
                },
                "1/old/4", "Error#29983[Winsock]{Error sending data. Not connected}"},
        Refusal{"deliver too long", Before::kTransmitter,
                [](SMPP& s, MessageObject& m) {
                  m.ShortMessage = std::string(256, 'x');
                  s.DeliverShortMessage(m);
                  return Id("", s, m);
                },
                "/old/77", "Error#6{@DeliverSM}"},
        Refusal{"enquire_link unbound", Before::kNothing,
                [](SMPP& s, MessageObject&) { return std::to_string(s.EnquireLink()); }, "0",
                "Error#98821{Not bound}"},
        Refusal{"enquire_link after the peer closed", Before::kPeerClosed,
                [](SMPP& s, MessageObject&) { return std::to_string(s.EnquireLink()); }, "0",
                "Error#29983[Winsock]{Error sending data. Not connected}"},
        Refusal{"unbind unconnected", Before::kNothing,
                [](SMPP& s, MessageObject&) {
                  s.Unbind();
                  return std::string();
                },
                "", "Error#29983[Winsock]{Error sending data. Not connected}"},
        Refusal{"submit_async unbound", Before::kNothing,
                [](SMPP& s, MessageObject& m) {
                  std::string outcome = "no completion";
                  const bool taken = s.SubmitAsync(m, [&](const SubmitResult& r) {
                    outcome = std::to_string(static_cast<int>(r.Outcome));
                  });
                  return std::to_string(taken) + "/" + outcome;
                },
                "0/" + std::to_string(static_cast<int>(SubmitOutcome::NotSent)), ""}));

}  // namespace
}  // namespace korvane
