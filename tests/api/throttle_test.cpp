// Throttling on the asynchronous path: a throttle answer sends the same
// submission again at its own place, up to ThrottleRetryLimit times, and
// MaxSubmitsPerSecond spreads the sends evenly, in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "api/api_fixture.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::Join;
using testing::MakePdu;

class ThrottleTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.OperationsTimeout(30);
    BindAs(BindTypes::SmppBindAsTransmitter);
  }
  // Each submit_sm is answered 10 ms later with the status `status_of` gives
  // for its destination; each send is noted as "destination@ms".
  void Answer(std::function<uint32_t(const std::string& dest)> status_of) {
    socket.AnswerWith([this, status_of](const std::vector<uint8_t>& sent) {
      if (testing::CommandIdOf(sent) != 0x00000004) return std::vector<uint8_t>{};
      const std::string dest(sent.begin() + 22, sent.begin() + 26);  // after two empty texts
      sends += (sends.empty() ? "" : " ") + dest + "@" +
               std::to_string((environment.Elapsed() - origin).count());
      const uint32_t status = status_of(dest);
      const int32_t sequence = testing::SequenceNumberOf(sent);
      return MakePdu(0x80000004, status, sequence,
                     status == 0 ? testing::Octets("ID" + std::to_string(sequence) + '\0')
                                 : std::vector<uint8_t>{});
    });
  }
  // Submits to each destination, from now on the origin of the times
  // noted; its result is noted as "destination:outcome status retries
  // sequence".
  void Submit(const std::vector<std::string>& destinations) {
    origin = environment.Elapsed();
    for (const std::string& dest : destinations) {
      message.DestAddress = dest;
      smpp.SubmitAsync(message, [this, dest](const SubmitResult& r) {
        results += (results.empty() ? "" : " ") + dest + ":" +
                   Join(static_cast<int>(r.Outcome), r.CommandStatus, r.Retries, r.SequenceNumber);
      });
    }
  }

  std::chrono::milliseconds origin{};
  std::string sends;
  std::string results;
};

TEST_F(ThrottleTest, TheDefaultsAreNoCapAndFiveRetries) {
  EXPECT_EQ(Join(smpp.MaxSubmitsPerSecond(), smpp.ThrottleRetryLimit()), "0 5");
  smpp.MaxSubmitsPerSecond(250);
  smpp.ThrottleRetryLimit(0);
  EXPECT_EQ(Join(smpp.MaxSubmitsPerSecond(), smpp.ThrottleRetryLimit()), "250 0");
}

// 1001 is throttled once while 1002 is in flight beside it; it goes again
// ahead of 1003 and 1004, the same PDU with a new sequence number, once its
// back-off and the pace allow: cut to what the SMSC took (two sends in the
// last second: 1.8 per second), then rising by 10 per second for each
// second of use.
TEST_F(ThrottleTest, ARetriedSubmissionKeepsItsPlaceAheadOfLaterOnes) {
  smpp.MaxOutstanding(2);
  bool throttled = false;
  Answer([&](const std::string& dest) {
    if (dest != "1001" || throttled) return 0u;
    throttled = true;
    return 0x58u;
  });
  Submit({"1001", "1002", "1003", "1004"});
  environment.Advance(seconds(5));
  EXPECT_EQ(sends, "1001@0 1002@0 1001@556 1003@1112 1004@1248");
  EXPECT_EQ(results, "1002:0 0 0 5 1001:0 0 1 6 1003:0 0 0 7 1004:0 0 0 8");
  // After the bind: 1001 sent, then sent again with the next free number.
  const auto& sent = socket.Sent();
  ASSERT_EQ(sent.size(), 6u);
  const std::string pdu =
      "00 00 00 25 00 00 00 04 00 00 00 00 00 00 00 0? 00 00 00 00 00 00 31 30 30 31 00 00 33 00 "
      "00 00 00 00 00 00 00";
  EXPECT_EQ(testing::HexText(sent[1]), std::string(pdu).replace(46, 1, "4"));
  EXPECT_EQ(testing::HexText(sent[3]), std::string(pdu).replace(46, 1, "6"));
}

// Throttled every time: sent 1 + ThrottleRetryLimit times, then Refused with
// the last status; other refusals are never sent again.
TEST_F(ThrottleTest, AfterTheRetryLimitTheSubmissionIsRefusedWithTheLastStatus) {
  struct Case {
    int32_t limit;
    uint32_t status;
    const char* expected;  // the result, then how often it was sent
  };
  const Case cases[] = {{0, 0x58, "1:1 88 0 4 1"},
                        {2, 0x14, "1:1 20 2 7 3"},
                        {5, 0x58, "1:1 88 5 13 6"},
                        {5, 0x45, "1:1 69 0 14 1"}};
  for (const Case& c : cases) {
    smpp.ThrottleRetryLimit(c.limit);
    Answer([&](const std::string&) { return c.status; });
    sends.clear();
    results.clear();
    Submit({"1"});
    environment.Advance(seconds(60));
    const std::size_t count = sends.empty() ? 0 : 1 + std::count(sends.begin(), sends.end(), ' ');
    EXPECT_EQ(results + " " + std::to_string(count), c.expected) << c.limit;
  }
}

// MaxSubmitsPerSecond R: one send every 1/R s from the first, retries
// included; no cap, all at once as the window allows.
TEST_F(ThrottleTest, MaxSubmitsPerSecondSpreadsTheSends) {
  struct Case {
    int32_t cap;
    const char* sends;
  };
  const Case cases[] = {{0, "1001@0 1002@0 1003@0 1004@0"},
                        {50, "1001@0 1002@20 1003@40 1004@60"},
                        {1000, "1001@0 1002@1 1003@2 1004@3"}};
  Answer([](const std::string&) { return 0u; });
  for (const Case& c : cases) {
    smpp.MaxSubmitsPerSecond(c.cap);
    sends.clear();
    Submit({"1001", "1002", "1003", "1004"});
    environment.Advance(seconds(1));
    EXPECT_EQ(sends, c.sends) << c.cap;
  }
}

}  // namespace
}  // namespace korvane
