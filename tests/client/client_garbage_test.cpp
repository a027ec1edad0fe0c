// korvane-smpp listen against an SMSC that answers the bind and then sends
// garbage: random octets, PDUs cut short or declared far too long, valid
// deliveries between them. The tool must never crash; every stream ends in a
// command_length no session accepts, so each run ends when the connection
// does.
#include <gtest/gtest.h>

#include <random>

#include "client_runner.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane {
namespace {

using testing::CommandIdOf;
using testing::LoopbackSmsc;
using testing::MakePdu;

constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kDeliverSm = 0x00000005;

// A deliver_sm from 4479 to 12345 whose body says `text`.
std::vector<uint8_t> Delivery(uint32_t sequence, const std::string& text) {
  std::vector<uint8_t> body = {0,   1, 1, '4', '4', '7', '9', 0, 1, 1, '1', '2', '3', '4',
                               '5', 0, 0, 0,   0,   0,   0,   0, 0, 0, 0,   0,   0};
  body.push_back(static_cast<uint8_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  return MakePdu(kDeliverSm, 0, sequence, body);
}

// Pieces of a hostile stream, chosen by `generator`.
std::vector<uint8_t> GarbageStream(std::mt19937& generator) {
  std::vector<uint8_t> stream;
  auto append = [&](const std::vector<uint8_t>& octets) {
    stream.insert(stream.end(), octets.begin(), octets.end());
  };
  std::uniform_int_distribution<int> kind(0, 12), octet(0, 255), length(0, 64);
  for (int piece = 0; piece < 12; ++piece) {
    std::vector<uint8_t> pdu = Delivery(static_cast<uint32_t>(piece + 10), "hello");
    switch (kind(generator)) {
      case 0:  // a valid delivery
      case 4:
      case 5:
        break;
      case 1:  // a delivery whose octets are overwritten at random
        for (int i = 0; i < 4; ++i)
          pdu[16 + static_cast<std::size_t>(length(generator)) % (pdu.size() - 16)] =
              static_cast<uint8_t>(octet(generator));
        break;
      case 2:  // a delivery cut short, its command_length saying so
        pdu.resize(16 + static_cast<std::size_t>(length(generator)) % (pdu.size() - 16));
        pdu[3] = static_cast<uint8_t>(pdu.size());
        break;
      case 3:  // random octets behind a plausible header
        pdu =
            MakePdu(static_cast<uint32_t>(octet(generator)) | 0x80000000u * (octet(generator) & 1),
                    0, 7, {});
        for (int i = length(generator); i > 0; --i)
          pdu.push_back(static_cast<uint8_t>(octet(generator)));
        pdu[3] = static_cast<uint8_t>(pdu.size());
        break;
      case 6:  // a command_length below the header
        pdu = {0, 0, 0, static_cast<uint8_t>(octet(generator) % 16)};
        break;
      default:  // random octets, no header at all
        pdu.clear();
        for (int i = length(generator); i > 0; --i)
          pdu.push_back(static_cast<uint8_t>(octet(generator)));
        break;
    }
    append(pdu);
  }
  append({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 1});
  return stream;
}

TEST(ClientGarbageTest, ListenSurvivesHostileStreamsAndSaysTheConnectionEnded) {
  int printed_messages = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 generator(seed);
    const std::vector<uint8_t> garbage = GarbageStream(generator);
    LoopbackSmsc smsc;
    smsc.SetResponder([&garbage](const LoopbackSmsc::Octets& request) {
      auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
      if (CommandIdOf(request) == kBindReceiver) answers.push_back(garbage);
      return answers;
    });
    const auto run = testing::RunKorvaneSmpp(
        {"listen", "--port", std::to_string(smsc.Port()), "--timeout", "1", "--for", "5"});
    // The stream ends the connection, which listen reports as a failure.
    EXPECT_EQ(run.exit_status, 1) << "seed " << seed << "\n" << run.err;
    EXPECT_NE(run.err.find("the SMSC closed the connection"), std::string::npos)
        << "seed " << seed << "\n"
        << run.err;
    for (std::size_t at = run.out.find("message from"); at != std::string::npos;
         at = run.out.find("message from", at + 1))
      ++printed_messages;
  }
  // The valid deliveries ahead of the first fatal piece got through.
  EXPECT_GT(printed_messages, 10);
}

}  // namespace
}  // namespace korvane
