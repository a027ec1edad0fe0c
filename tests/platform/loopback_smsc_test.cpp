// The loopback SMSC against a plain Asio client on the test thread: blocking
// connects and writes, reads capped in real time so a fault cannot hang.
#include "support/loopback_smsc.hpp"

#include <gtest/gtest.h>

#include <asio/read.hpp>
#include <asio/write.hpp>
#include <functional>
#include <thread>

#include "support/test_util.hpp"

namespace korvane::testing {
namespace {

using asio::ip::tcp;
using Octets = std::vector<uint8_t>;

constexpr std::chrono::seconds kCap{2};

// True once `done` holds; false when the cap passed first.
bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kCap;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class Client {
 public:
  explicit Client(uint16_t port) {
    socket_.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    socket_.set_option(tcp::no_delay(true));
  }

  void Write(const Octets& octets) { asio::write(socket_, asio::buffer(octets)); }

  // The next whole PDU; `error` is what ended the read instead, timed_out
  // when nothing came within the cap.
  Octets ReadPdu(std::error_code& error) {
    Octets pdu(16);
    error = ReadInto(pdu.data(), pdu.size());
    if (error) return {};
    const std::size_t length = std::size_t{pdu[0]} << 24 | std::size_t{pdu[1]} << 16 |
                               std::size_t{pdu[2]} << 8 | std::size_t{pdu[3]};
    if (length < pdu.size()) return pdu;
    pdu.resize(length);
    error = ReadInto(pdu.data() + 16, length - 16);
    return pdu;
  }

  Octets ReadPdu() {
    std::error_code error;
    Octets pdu = ReadPdu(error);
    EXPECT_FALSE(error) << error.message();
    return pdu;
  }

  // What ended the connection: the error of a read that yields no PDU.
  std::error_code ReadEnd() {
    std::error_code error;
    const Octets pdu = ReadPdu(error);
    EXPECT_TRUE(pdu.empty());
    return error;
  }

 private:
  std::error_code ReadInto(uint8_t* data, std::size_t size) {
    bool done = false;
    std::error_code result;
    asio::async_read(socket_, asio::buffer(data, size), [&](const std::error_code& error, auto) {
      done = true;
      result = error;
    });
    io_.restart();
    io_.run_for(kCap);
    if (done) return result;
    socket_.cancel();
    io_.restart();
    io_.run();
    return asio::error::timed_out;
  }

  asio::io_context io_;
  tcp::socket socket_{io_};
};

TEST(LoopbackSmscTest, AnswersRequestsAndRecordsWholePdus) {
  LoopbackSmsc smsc;
  Client client(smsc.Port());
  const Octets bind =
      Hex("00 00 00 1A 00 00 00 02 00 00 00 00 00 00 00 01 61 62 63 00 00 00 34 01 01 00");
  client.Write(Octets(bind.begin(), bind.begin() + 7));
  client.Write(Octets(bind.begin() + 7, bind.end()));
  EXPECT_EQ(client.ReadPdu(), Hex("00 00 00 19 80 00 00 02 00 00 00 00 00 00 00 01 "
                                  "4C 4F 4F 50 42 41 43 4B 00"));

  // A response gets no answer: the next octets read answer the enquire_link.
  const Octets response = MakePdu(0x80000005, 0, 3, {0});
  const Octets enquire_link = MakePdu(0x15, 0, 7);
  const Octets unknown = MakePdu(0x99, 0, 8, {1, 2});
  Octets both = response;
  both.insert(both.end(), enquire_link.begin(), enquire_link.end());
  client.Write(both);
  EXPECT_EQ(client.ReadPdu(), Hex("00 00 00 10 80 00 00 15 00 00 00 00 00 00 00 07"));
  client.Write(unknown);
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x80000000, 3, 8));

  EXPECT_EQ(smsc.Received(), (std::vector<Octets>{bind, response, enquire_link, unknown}));
  EXPECT_EQ(smsc.ConnectionCount(), 1);
  EXPECT_TRUE(smsc.Connected());
}

TEST(LoopbackSmscTest, BindStatusSilenceResponderAndSendShapeWhatIsSent) {
  LoopbackSmsc smsc;
  Client client(smsc.Port());
  smsc.SetBindStatus(0x0D);
  client.Write(MakePdu(0x09, 0, 2, Hex("61 00 00 00 34 00 00 00")));
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x80000009, 0x0D, 2, Hex("4C 4F 4F 50 42 41 43 4B 00")));

  smsc.SetSilent(true);
  client.Write(MakePdu(0x15, 0, 3));
  ASSERT_TRUE(smsc.WaitForReceived(2));
  smsc.SetSilent(false);
  client.Write(MakePdu(0x15, 0, 4));
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x80000015, 0, 4));

  // A custom responder's answers come in order, and Send's octets after them.
  smsc.SetResponder([](const Octets& pdu) {
    return std::vector<Octets>{MakePdu(0x05, 0, 50), MakePdu(0x80000004, 0, SequenceNumberOf(pdu))};
  });
  client.Write(MakePdu(0x04, 0, 9));
  ASSERT_TRUE(smsc.WaitForReceived(4));
  smsc.Send(MakePdu(0x15, 0, 51));
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x05, 0, 50));
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x80000004, 0, 9));
  EXPECT_EQ(client.ReadPdu(), MakePdu(0x15, 0, 51));
}

TEST(LoopbackSmscTest, ClosesResetsAndReplacesConnections) {
  LoopbackSmsc smsc;
  Client first(smsc.Port());
  ASSERT_TRUE(WaitUntil([&] { return smsc.Connected(); }));
  smsc.Close();
  EXPECT_EQ(first.ReadEnd(), asio::error::eof);
  EXPECT_TRUE(WaitUntil([&] { return !smsc.Connected(); }));

  Client second(smsc.Port());
  ASSERT_TRUE(WaitUntil([&] { return smsc.ConnectionCount() == 2; }));
  smsc.Send(MakePdu(0x15, 0, 1));
  smsc.Reset();
  EXPECT_EQ(second.ReadPdu(), MakePdu(0x15, 0, 1));
  EXPECT_EQ(second.ReadEnd(), asio::error::connection_reset);

  // Unbind answered, then FIN; a newer connection closes the older one.
  Client third(smsc.Port());
  smsc.SetCloseAfterUnbindResp(true);
  third.Write(MakePdu(0x06, 0, 5));
  EXPECT_EQ(third.ReadPdu(), MakePdu(0x80000006, 0, 5));
  EXPECT_EQ(third.ReadEnd(), asio::error::eof);
  Client fourth(smsc.Port());
  ASSERT_TRUE(WaitUntil([&] { return smsc.ConnectionCount() == 4; }));
  Client fifth(smsc.Port());
  EXPECT_EQ(fourth.ReadEnd(), asio::error::eof);
  EXPECT_EQ(smsc.ConnectionCount(), 5);
  EXPECT_TRUE(smsc.Connected());
}

// A command_length out of range ends the stream: nothing more is recorded.
TEST(LoopbackSmscTest, ClosesOnAnImpossibleCommandLength) {
  for (const char* header : {"00 00 00 0F 00 00 00 15", "00 10 00 01 00 00 00 15"}) {
    LoopbackSmsc smsc;
    Client client(smsc.Port());
    client.Write(MakePdu(0x15, 0, 1));
    Octets garbage = Hex(header);
    garbage.resize(40, 0xFF);
    client.Write(garbage);
    EXPECT_EQ(client.ReadPdu(), MakePdu(0x80000015, 0, 1));
    EXPECT_EQ(client.ReadEnd(), asio::error::eof) << header;
    EXPECT_EQ(smsc.Received().size(), 1u) << header;
  }
}

}  // namespace
}  // namespace korvane::testing
