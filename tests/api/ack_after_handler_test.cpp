// AckAfterHandler: the deliver_sm_resp / data_sm_resp follows MessageReceived
// and carries the status the handler chose; off, the response precedes the
// event with status 0, as always.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/session_fixture.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::HexText;

constexpr const char* kDeliverSm =
    "00 00 00 25 00 00 00 05 00 00 00 00 00 00 00 07 00 01 01 31 00 01 01 32 00 00 00 00 00 00 00 "
    "00 00 00 02 48 69";
constexpr const char* kDataSm =
    "00 00 00 21 00 00 01 03 00 00 00 00 00 00 00 2A 00 01 01 31 00 01 01 32 00 00 00 00 04 24 00 "
    "02 48 69";

enum class Handler { Accepts, SetsStatus, Throws };

// Acts on MessageReceived as the case says, noting how many PDUs the session
// had sent by then.
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

class AckAfterHandlerTest : public testing::SessionFixture {};

TEST_F(AckAfterHandlerTest, TheResponseFollowsTheHandlerWithItsStatus) {
  struct Case {
    const char* pdu;
    bool after;
    Handler handler;
    const char* response;
    bool sent_before_event;
    int errors;
  };
  const Case cases[] = {
      // Off: acknowledged first with 0, whatever the handler does.
      {kDeliverSm, false, Handler::Accepts, "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00",
       true, 0},
      {kDeliverSm, false, Handler::SetsStatus, "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00",
       true, 0},
      {kDeliverSm, false, Handler::Throws, "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00",
       true, 1},
      // On: after the handler, with its status, 0x64 when it threw.
      {kDeliverSm, true, Handler::Accepts, "00 00 00 11 80 00 00 05 00 00 00 00 00 00 00 07 00",
       false, 0},
      {kDeliverSm, true, Handler::SetsStatus, "00 00 00 11 80 00 00 05 00 00 00 45 00 00 00 07 00",
       false, 0},
      {kDeliverSm, true, Handler::Throws, "00 00 00 11 80 00 00 05 00 00 00 64 00 00 00 07 00",
       false, 1},
      {kDataSm, false, Handler::Throws, "00 00 00 11 80 00 01 03 00 00 00 00 00 00 00 2A 00", true,
       1},
      {kDataSm, true, Handler::SetsStatus, "00 00 00 11 80 00 01 03 00 00 00 45 00 00 00 2A 00",
       false, 0},
      {kDataSm, true, Handler::Throws, "00 00 00 11 80 00 01 03 00 00 00 64 00 00 00 2A 00", false,
       1},
  };
  EXPECT_FALSE(smpp.AckAfterHandler());
  BindAs(BindTypes::SmppBindAsTransceiver);
  smpp.Unsubscribe(events);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pdu).substr(12, 11) + (c.after ? " after" : " before"));
    ActingSink sink;
    sink.handler = c.handler;
    sink.socket = &socket;
    smpp.Subscribe(sink);
    smpp.AckAfterHandler(c.after);
    const std::size_t sent = socket.Sent().size();
    smpp.DebugPDU(c.pdu);
    smpp.Unsubscribe(sink);
    ASSERT_EQ(socket.Sent().size(), sent + 1);
    EXPECT_EQ(HexText(socket.Sent().back()), c.response);
    EXPECT_EQ(sink.sent_during_event, c.sent_before_event ? sent + 1 : sent);
    EXPECT_EQ(sink.errors, c.errors);
  }
}

}  // namespace
}  // namespace korvane
