// The connection under the session: broken lengths, failures and what the
// socket reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.hpp"

namespace korvane {
namespace {

using testing::Join;
using testing::MakePdu;

class TransportTest : public testing::ApiTest {
 protected:
  void SetUp() override { BindAs(BindTypes::SmppBindAsTransceiver); }
  const std::vector<uint8_t> link_ok_ = MakePdu(0x80000015, 0, 1);
};

// A broken length is reported and closes the connection; octets pending
// when a connection ends, by the peer, by the length or from this side by
// an unanswered unbind, do not reach the next one.
TEST_F(TransportTest, ABrokenLengthClosesAndNothingOutlivesItsConnection) {
  brief = false;
  std::vector<uint8_t> stream = link_ok_;
  stream.insert(stream.end(), {0, 0, 0, 0, 0x80, 0, 0, 0x15});
  EXPECT_EQ(
      Run([&] { return socket.Receive(stream), Join(smpp.ConnectedAndBound, socket.State()); }),
      "0 0 | LinkOk, Error#29984{Invalid command_length 0 received (allowed 16 to 262144). "
      "Connection closed}, ConnectionClosed |  | 0ms");
  const auto next_connection_starts_clean = [&] {
    BindAs(BindTypes::SmppBindAsTransmitter);
    socket.Receive(link_ok_);
    EXPECT_EQ(events.Summary(), "LinkOk");
  };
  next_connection_starts_clean();
  const std::vector<std::function<void()>> endings = {[&] { socket.PeerClose(); },
                                                      [&] {
                                                        socket.AnswerWith(nullptr);
                                                        smpp.OperationsTimeout(1);
                                                        smpp.Unbind();
                                                      }};
  for (const auto& end_connection : endings) {
    socket.Receive({link_ok_.begin(), link_ok_.begin() + 7});
    end_connection();
    EXPECT_FALSE(smpp.ConnectedAndBound);
    next_connection_starts_clean();
  }
}

// An aborted connection warns, any other failure is an error; either ends
// the binding and closes the socket. A host may bind again from the handler.
TEST_F(TransportTest, AFailedConnectionIsReportedAndEndsTheBinding) {
  for (const auto& row :
       {std::tuple{10053, "0 0 | ConnectionClosed, Warning#10053[Winsock] |  | 0ms"},
        std::tuple{10054, "0 0 | Error#10054[Winsock], ConnectionClosed |  | 0ms"}}) {
    BindAs(BindTypes::SmppBindAsTransceiver);
    EXPECT_EQ(Run([&] {
                socket.Fail(std::get<0>(row), "failed");
                return Join(smpp.ConnectedAndBound, socket.State());
              }),
              std::get<1>(row));
  }
  for (const char* trigger : {"Error", "ConnectionClosed"}) {
    BindAs(BindTypes::SmppBindAsTransceiver);
    events.on_event = [&, trigger](const testing::RecordedEvent& e) {
      if (e.name == trigger && socket.State() != platform::kSocketConnected)
        smpp.Bind(BindTypes::SmppBindAsTransceiver);
    };
    socket.Fail(10054, "Connection reset by peer");
    events.on_event = nullptr;
    EXPECT_EQ(Join(smpp.ConnectedAndBound, socket.State()), "1 7") << trigger;
  }
}

}  // namespace
}  // namespace korvane
