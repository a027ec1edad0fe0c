// MaxOutputBytes: requests are refused, or SubmitAsync submissions held,
// while the octets the system has not taken would pass the cap. The fake
// socket's backlog is set by the test.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;

// The fake environment whose sockets report `backlog` octets not yet taken.
class BackloggedEnvironment final : public platform::Environment {
 public:
  class Socket final : public platform::TcpSocket {
   public:
    Socket(std::unique_ptr<platform::TcpSocket> inner, const std::size_t& backlog)
        : inner_(std::move(inner)), backlog_(backlog) {}
    int32_t State() const override { return inner_->State(); }
    void Connect(const std::string& host, int32_t port) override { inner_->Connect(host, port); }
    void SendData(std::vector<uint8_t> data) override { inner_->SendData(std::move(data)); }
    std::vector<uint8_t> GetData() override { return inner_->GetData(); }
    std::size_t QueuedOutput() const override { return backlog_; }
    void Close() override { inner_->Close(); }
    int32_t LocalPort() const override { return inner_->LocalPort(); }
    void LocalPort(int32_t port) override { inner_->LocalPort(port); }
    std::string LocalIPAddress() const override { return inner_->LocalIPAddress(); }
    int32_t SocketHandle() const override { return inner_->SocketHandle(); }

   private:
    std::unique_ptr<platform::TcpSocket> inner_;
    const std::size_t& backlog_;
  };

  std::chrono::steady_clock::time_point MonotonicNow() override { return fake.MonotonicNow(); }
  DateTime LocalNow() override { return fake.LocalNow(); }
  double SecondsSinceMidnight() override { return fake.SecondsSinceMidnight(); }
  int32_t LocalTimeZoneBiasMinutes() override { return fake.LocalTimeZoneBiasMinutes(); }
  void Yield() override { fake.Yield(); }
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()> on_tick) override {
    return fake.CreateTimer(std::move(on_tick));
  }
  std::unique_ptr<platform::TcpSocket> CreateSocket(platform::SocketListener& listener) override {
    return std::make_unique<Socket>(fake.CreateSocket(listener), backlog);
  }

  testing::FakeEnvironment fake;
  std::size_t backlog = 0;
};

class BoundedOutputTest : public ::testing::Test {
 protected:
  BoundedOutputTest() : smpp(environment), socket(*environment.fake.LastSocket()) {
    smpp.Subscribe(events);
    smpp.SMPPServerAddress("smsc.test");
    smpp.SMPPServerPort(2775);
    socket.AnswerWith([](const std::vector<uint8_t>& sent) {
      std::vector<uint8_t> answer;
      for (const auto& pdu : testing::LoopbackSmsc::DefaultAnswer(sent, 0))
        answer.insert(answer.end(), pdu.begin(), pdu.end());
      return answer;
    });
    EXPECT_EQ(smpp.Bind(BindTypes::SmppBindAsTransceiver), 3);
    events.events.clear();
    message.DestAddress = "1234";
    message.ShortMessage = Variant(std::string("hello"));
    message.MessageID = "ID";
  }

  BackloggedEnvironment environment;
  testing::EventRecorder events;
  SMPP smpp;
  testing::ScriptedSocket& socket;
  MessageObject message;
};

TEST_F(BoundedOutputTest, ARequestBeyondTheCapIsRefusedWithAnErrorAndNothingIsSent) {
  using Request = void (*)(SMPP&, MessageObject&);
  struct Case {
    const char* what;
    Request request;
    int32_t cap;
    std::size_t backlog;
    bool sent;
  };
  const Request send = [](SMPP& s, MessageObject& m) { s.SendMessage(m, false); };
  const Request query = [](SMPP& s, MessageObject& m) { s.QueryMessage(m, false); };
  const Request cancel = [](SMPP& s, MessageObject& m) { s.CancelMessage(m); };
  const Request deliver = [](SMPP& s, MessageObject& m) { s.DeliverShortMessage(m); };
  const Case cases[] = {
      {"default cap", send, 8 * 1024 * 1024, 1024 * 1024, true},
      {"room left", send, 1000, 900, true},
      {"at the cap", send, 1000, 1000, false},
      {"one PDU too many", send, 1000, 990, false},
      {"an empty queue takes one", send, 10, 0, true},
      {"no cap", send, 0, 1 << 30, true},
      {"query", query, 1000, 1000, false},
      {"cancel", cancel, 1000, 1000, false},
      {"deliver", deliver, 1000, 1000, false},
  };
  EXPECT_EQ(smpp.MaxOutputBytes(), 8 * 1024 * 1024);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events.events.clear();
    smpp.MaxOutputBytes(c.cap);
    environment.backlog = c.backlog;
    message.SequenceNumber = 0;
    const std::size_t before = socket.Sent().size();
    c.request(smpp, message);
    EXPECT_EQ(socket.Sent().size(), before + (c.sent ? 1 : 0));
    EXPECT_EQ(message.SequenceNumber != 0, c.sent);
    const auto errors = events.Named("Error");
    if (c.sent) {
      EXPECT_TRUE(errors.empty());
    } else {
      ASSERT_EQ(errors.size(), 1u);
      EXPECT_EQ(errors[0].number, 29985);
      EXPECT_EQ(errors[0].text.rfind("The output queue is full: " + std::to_string(c.backlog) +
                                         " octets wait to be sent (MaxOutputBytes " +
                                         std::to_string(c.cap) + "). Nothing was sent",
                                     0),
                0u)
          << errors[0].text;
    }
    environment.fake.Advance(milliseconds(50));  // answers arrive
  }
}

TEST_F(BoundedOutputTest, SubmissionsWaitInTheirQueueUntilTheOutputDrains) {
  smpp.MaxOutputBytes(1000);
  environment.backlog = 1000;
  std::vector<SubmitResult> results;
  for (int n = 0; n < 3; ++n)
    EXPECT_TRUE(smpp.SubmitAsync(message, [&](const SubmitResult& r) { results.push_back(r); }));
  const std::size_t before = socket.Sent().size();
  environment.fake.Advance(milliseconds(500));
  EXPECT_EQ(socket.Sent().size(), before);
  EXPECT_TRUE(results.empty());
  EXPECT_TRUE(events.Named("Error").empty());
  // Drained: the timer finds room and the three go, in order, and are answered.
  environment.backlog = 0;
  environment.fake.Advance(milliseconds(200));
  EXPECT_EQ(socket.Sent().size(), before + 3);
  ASSERT_EQ(results.size(), 3u);
  for (const SubmitResult& r : results) EXPECT_EQ(r.Outcome, SubmitOutcome::Accepted);
  EXPECT_LT(results[0].SequenceNumber, results[2].SequenceNumber);
}

}  // namespace
}  // namespace korvane
