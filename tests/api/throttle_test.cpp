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

using testing::Join;

class ThrottleTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    smpp.OperationsTimeout(30);
    BindAs(BindTypes::SmppBindAsTransmitter);
  }
  // Submits to each destination and runs `seconds`; each submit_sm is
  // answered 10 ms later with `status_of(destination)`. Returns each send as
  // "destination@ms", then each result as "destination:outcome status
  // retries sequence".
  std::string Submit(const std::vector<std::string>& destinations, int seconds,
                     const std::function<uint32_t(const std::string&)>& status_of) {
    const auto origin = environment.Elapsed();
    std::string sends, results;
    socket.AnswerWith([&](const std::vector<uint8_t>& sent) {
      if (sent[7] != 0x04) return std::vector<uint8_t>{};
      const std::string dest(sent.begin() + 22, sent.begin() + 26);  // after two empty texts
      sends += dest + "@" + std::to_string((environment.Elapsed() - origin).count()) + " ";
      const uint32_t status = status_of(dest);
      const uint32_t sequence = testing::SequenceNumberOf(sent);
      return testing::MakePdu(
          0x80000004, status, sequence,
          testing::Octets(status ? "" : "ID" + std::to_string(sequence) + '\0'));
    });
    for (const std::string& dest : destinations) {
      message.DestAddress = dest;
      smpp.SubmitAsync(message, [&results, dest](const SubmitResult& r) {
        results += " " + dest + ":" +
                   Join(static_cast<int>(r.Outcome), r.CommandStatus, r.Retries, r.SequenceNumber);
      });
    }
    environment.Advance(std::chrono::seconds(seconds));
    NeverAnswer();
    return sends + "|" + results;
  }
};

// 1001 is throttled once while 1002 is in flight beside it; it goes again
// ahead of 1003 and 1004, the same PDU with a new sequence number, once its
// back-off and the pace allow: cut to what the SMSC took (two sends in the
// last second: 1.8 per second), then rising by 10 per second for each
// second of use.
TEST_F(ThrottleTest, ARetriedSubmissionKeepsItsPlaceAheadOfLaterOnes) {
  smpp.MaxOutstanding(2);
  int throttled = 0;
  EXPECT_EQ(
      Submit({"1001", "1002", "1003", "1004"}, 5,
             [&](const std::string& dest) { return dest == "1001" && !throttled++ ? 0x58u : 0u; }),
      "1001@0 1002@0 1001@556 1003@1112 1004@1248 | 1002:0 0 0 5 1001:0 0 1 6 1003:0 0 0 7 1004:0 "
      "0 0 8");
  // The same PDU again with its new sequence number (after the bind: 1001,
  // 1002, then 1001 again).
  std::vector<uint8_t> again = socket.Sent().at(3);
  EXPECT_EQ(again[15], 6);
  again[15] = 4;
  EXPECT_EQ(again, socket.Sent().at(1));
}

// Throttled every time: sent 1 + ThrottleRetryLimit times, then Refused with
// the last status; other refusals are never sent again. MaxSubmitsPerSecond
// R: one send every 1/R s; no cap, all at once as the window allows.
TEST_F(ThrottleTest, RetriesUpToTheLimitAndSendsAtTheCap) {
  const struct {
    int32_t retry_limit, cap;
    uint32_t status;
    int count;  // destinations 1001, 1002, ...
    const char* expected;
  } cases[] = {
      {0, 0, 0x58, 1, "1001@0 | 1001:1 88 0 4"},
      {2, 0, 0x14, 1, "1001@0 1001@1000 1001@2000 | 1001:1 20 2 7"},
      {5, 0, 0x45, 1, "1001@0 | 1001:1 69 0 8"},
      {5, 0, 0, 3, "1001@0 1002@0 1003@0 | 1001:0 0 0 9 1002:0 0 0 10 1003:0 0 0 11"},
      {5, 50, 0, 3, "1001@0 1002@20 1003@40 | 1001:0 0 0 12 1002:0 0 0 13 1003:0 0 0 14"},
  };
  for (const auto& c : cases) {
    smpp.ThrottleRetryLimit(c.retry_limit);
    smpp.MaxSubmitsPerSecond(c.cap);
    const std::vector<std::string> all = {"1001", "1002", "1003"};
    EXPECT_EQ(Submit({all.begin(), all.begin() + c.count}, 60,
                     [&](const std::string&) { return c.status; }),
              c.expected)
        << c.retry_limit << " " << c.cap;
  }
}

}  // namespace
}  // namespace korvane
