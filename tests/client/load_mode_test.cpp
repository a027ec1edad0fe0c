// send --count N --window W: the summary's arithmetic, and whole runs
// against the loopback SMSC.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "client/exit_codes.hpp"
#include "client/load_summary.hpp"
#include "client_runner.hpp"
#include "support/loopback_smsc.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using testing::LoopbackSmsc;

TEST(LoadSummaryTest, PercentilesAreNearestRank) {
  struct Case {
    std::vector<double> values;
    double p;
    double expected;
  };
  const Case cases[] = {
      {{}, 50, 0},
      {{7}, 99, 7},
      {{4, 1, 3, 2}, 50, 2},
      {{4, 1, 3, 2}, 99, 4},
      {{5, 1, 2, 3, 4, 6, 7, 8, 9, 10}, 50, 5},
      {{5, 1, 2, 3, 4, 6, 7, 8, 9, 10}, 0, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(client::Percentile(c.values, c.p), c.expected) << c.p;
}

TEST(LoadSummaryTest, EachOutcomeIsCountedAndOnlyAnswersTimed) {
  const struct {
    SubmitOutcome outcome;
    int elapsed_ms;
  } results[] = {
      {SubmitOutcome::Accepted, 10},      {SubmitOutcome::Accepted, 30},
      {SubmitOutcome::Refused, 20},       {SubmitOutcome::TimedOut, 5000},
      {SubmitOutcome::ConnectionLost, 1}, {SubmitOutcome::NotSent, 0},
  };
  client::LoadTally tally;
  for (const auto& r : results) {
    SubmitResult result;
    result.Outcome = r.outcome;
    result.Elapsed = milliseconds(r.elapsed_ms);
    tally.Add(result);
  }
  tally.NotSubmitted(2);
  EXPECT_EQ(tally.Completed(), 8);
  const client::LoadSummary s = tally.Summarize(8, std::chrono::duration<double>(0.5));
  EXPECT_EQ(client::JsonObject("summary", client::SummaryFields(s)),
            "{\"event\":\"summary\",\"messages\":8,\"accepted\":2,\"refused\":1,\"timed_out\":1,"
            "\"lost\":1,\"not_sent\":3,\"retried\":0,\"seconds\":0.500,\"rate\":4.000,"
            "\"p50_ms\":20.000,\"p99_ms\":30.000}");
  EXPECT_EQ(client::SummaryLine(s),
            "8 messages in 0.500 s: 4.0 accepted/s, latency p50 20.000 ms, p99 30.000 ms; "
            "accepted 2, refused 1, timed out 1, lost 1, not sent 3, retried 0");
}

// The body of a submit_sm as the client sends it here: short_message last.
std::string ShortMessageOf(const std::vector<uint8_t>& pdu) {
  // sm_length precedes the text, which ends the PDU (no optional parameters).
  for (std::size_t length = 0; length < pdu.size() - 17; ++length)
    if (pdu[pdu.size() - length - 1] == length)
      return std::string(pdu.end() - static_cast<std::ptrdiff_t>(length), pdu.end());
  return "";
}

TEST(LoadModeTest, RunsReportEveryMessageAndExitZeroOnlyWhenAllAreAccepted) {
  struct Case {
    const char* what;
    int count;
    int window;
    uint32_t refuse_every;  // 0: none refused
    int exit_status;
    int accepted;
    int refused;
  };
  const Case cases[] = {
      {"all accepted", 40, 8, 0, client::kExitOk, 40, 0},
      {"window of one", 5, 1, 0, client::kExitOk, 5, 0},
      {"some refused", 12, 4, 3, client::kExitFailure, 8, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackSmsc smsc;
    const uint32_t refuse_every = c.refuse_every;
    smsc.SetResponder([refuse_every](const LoopbackSmsc::Octets& request) {
      auto answers = LoopbackSmsc::DefaultAnswer(request, 0);
      const uint32_t sequence = testing::SequenceNumberOf(request);
      if (refuse_every != 0 && testing::CommandIdOf(request) == 0x00000004 &&
          sequence % refuse_every == 0)
        answers = {testing::MakePdu(0x80000004, 0x00000058, sequence, {})};
      return answers;
    });
    const testing::ClientRun run = testing::RunKorvaneSmpp(
        {"send", "--port", std::to_string(smsc.Port()), "--timeout", "2", "--to", "1234", "--text",
         "load {n} of {n}", "--count", std::to_string(c.count), "--window",
         std::to_string(c.window), "--json"});
    EXPECT_EQ(run.exit_status, c.exit_status) << run.out << run.err;
    // The summary is the last line.
    const std::size_t last = run.out.rfind("{\"event\":");
    ASSERT_NE(last, std::string::npos) << run.out;
    const std::string summary = run.out.substr(last);
    const std::string counts = "{\"event\":\"summary\",\"messages\":" + std::to_string(c.count) +
                               ",\"accepted\":" + std::to_string(c.accepted) +
                               ",\"refused\":" + std::to_string(c.refused) +
                               ",\"timed_out\":0,\"lost\":0,\"not_sent\":0,\"retried\":0,";
    EXPECT_EQ(summary.substr(0, counts.size()), counts) << summary;
    EXPECT_NE(summary.find("\"p99_ms\":"), std::string::npos);
    // Every message went once, numbered in order.
    std::vector<std::string> texts;
    for (const auto& pdu : smsc.Received())
      if (testing::CommandIdOf(pdu) == 0x00000004) texts.push_back(ShortMessageOf(pdu));
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(c.count));
    for (int n = 1; n <= c.count; ++n)
      EXPECT_EQ(texts[static_cast<std::size_t>(n - 1)],
                "load " + std::to_string(n) + " of " + std::to_string(n));
  }
}

TEST(LoadModeTest, WindowNeedsCountAndCountExcludesWaiting) {
  for (const std::vector<std::string>& line : std::vector<std::vector<std::string>>{
           {"send", "--to", "1", "--text", "x", "--window", "4"},
           {"send", "--to", "1", "--text", "x", "--count", "2", "--wait"},
           {"send", "--to", "1", "--text", "x", "--count", "0"},
       }) {
    EXPECT_EQ(testing::RunKorvaneSmpp(line).exit_status, client::kExitUsage)
        << ::testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace korvane
