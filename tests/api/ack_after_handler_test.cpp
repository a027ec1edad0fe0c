// AckAfterHandler: the deliver_sm_resp / data_sm_resp follows MessageReceived
// with the handler's status; off, it precedes the event with 0, as always.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

enum class Handler { Accepts, SetsStatus, Throws };

struct ActingSink : SMPPEvents {
  Handler handler = Handler::Accepts;
  const testing::ScriptedSocket* socket = nullptr;
  std::size_t sent_during_event = 0;
  int errors = 0;
  void MessageReceived(MessageObject& message) override {
    sent_during_event = socket->Sent().size();
    if (handler == Handler::SetsStatus) message.ResponseStatus = 0x00000045;
    if (handler == Handler::Throws) throw std::runtime_error("host failed");
  }
  void Error(int32_t, const std::string&, const std::string&) override { ++errors; }
};

using AckAfterHandlerTest = testing::SessionFixture;

TEST_F(AckAfterHandlerTest, TheResponseFollowsTheHandlerWithItsStatus) {
  const std::string deliver_sm =
      "00 00 00 25 00 00 00 05 00 00 00 00 00 00 00 07 00 01 01 31 00 01 01 32 00 00 00 00 00 00 "
      "00 00 00 00 02 48 69";
  const std::string data_sm =
      "00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 07 00 01 01 31 00 01 01 32 00 00 00 00 04 24 "
      "00 02 48 69";
  struct Case {
    const std::string& pdu;
    bool after;
    Handler handler;
    uint32_t status;  // of the response
  };
  const Case cases[] = {
      {deliver_sm, false, Handler::SetsStatus, 0}, {deliver_sm, false, Handler::Throws, 0},
      {deliver_sm, true, Handler::Accepts, 0},     {deliver_sm, true, Handler::SetsStatus, 0x45},
      {deliver_sm, true, Handler::Throws, 0x64},   {data_sm, false, Handler::Throws, 0},
      {data_sm, true, Handler::SetsStatus, 0x45},  {data_sm, true, Handler::Throws, 0x64},
  };
  EXPECT_FALSE(smpp.AckAfterHandler());
  BindAs(BindTypes::SmppBindAsTransceiver);
  smpp.Unsubscribe(events);
  for (const Case& c : cases) {
    ActingSink sink;
    sink.handler = c.handler;
    sink.socket = &socket;
    smpp.Subscribe(sink);
    smpp.AckAfterHandler(c.after);
    const std::size_t sent = socket.Sent().size();
    smpp.DebugPDU(c.pdu);
    smpp.Unsubscribe(sink);
    const uint32_t response_id = (c.pdu == data_sm ? 0x00000103 : 0x00000005) | 0x80000000;
    ASSERT_EQ(socket.Sent().size(), sent + 1);
    EXPECT_EQ(socket.Sent().back(), testing::MakePdu(response_id, c.status, 7, {0}));
    EXPECT_EQ(sink.sent_during_event, c.after ? sent : sent + 1);
    EXPECT_EQ(sink.errors, c.handler == Handler::Throws ? 1 : 0);
  }
}

}  // namespace
}  // namespace korvane
