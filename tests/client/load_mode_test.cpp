// send --count N --window W: the summary's arithmetic, and whole runs
// against the loopback SMSC.
#include <gtest/gtest.h>

#include "client/exit_codes.hpp"
#include "client/load_summary.hpp"
#include "client_runner.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane {
namespace {

using testing::LoopbackSmsc;

TEST(LoadSummaryTest, CountsEachOutcomeAndTimesOnlyAnswers) {
  const std::pair<SubmitOutcome, int> results[] = {
      // outcome, milliseconds
      {SubmitOutcome::Accepted, 10},      {SubmitOutcome::Accepted, 30},
      {SubmitOutcome::Refused, 20},       {SubmitOutcome::TimedOut, 5000},
      {SubmitOutcome::ConnectionLost, 1}, {SubmitOutcome::NotSent, 0}};
  client::LoadTally tally;
  for (const auto& [outcome, ms] : results) {
    SubmitResult result;
    result.Outcome = outcome;
    result.Elapsed = std::chrono::milliseconds(ms);
    tally.Add(result);
  }
  tally.NotSubmitted(2);
  EXPECT_EQ(tally.Completed(), 8);
  const client::LoadSummary s = tally.Summarize(8, std::chrono::duration<double>(0.5));
  EXPECT_EQ(client::JsonObject("summary", client::SummaryFields(s)),
            "{\"event\":\"summary\",\"messages\":8,\"accepted\":2,\"refused\":1,\"timed_out\":1,"
            "\"lost\":1,\"not_sent\":3,\"retried\":0,\"seconds\":0.500,\"rate\":4.000,"
            "\"p50_ms\":20.000,\"p99_ms\":30.000}");
  EXPECT_EQ(client::Percentile({4, 1, 3, 2}, 50), 2);
}

TEST(LoadModeTest, EveryMessageGoesOnceNumberedAndOnlyAllAcceptedExitsZero) {
  struct Case {
    int count, window;
    bool refuse_odd;  // submit_sm with an odd sequence number refused (0x45: never retried)
    int exit_status;
    const char* counts;
  };
  const Case cases[] = {
      {40, 8, false, client::kExitOk, "\"messages\":40,\"accepted\":40,\"refused\":0,"},
      {6, 1, true, client::kExitFailure, "\"messages\":6,\"accepted\":3,\"refused\":3,"},
  };
  for (const Case& c : cases) {
    LoopbackSmsc smsc;
    smsc.SetResponder([&c](const LoopbackSmsc::Octets& request) {
      const uint32_t sequence = testing::SequenceNumberOf(request);
      if (c.refuse_odd && testing::CommandIdOf(request) == 4 && sequence % 2 == 1)
        return std::vector<LoopbackSmsc::Octets>{testing::MakePdu(0x80000004, 0x45, sequence, {})};
      return LoopbackSmsc::DefaultAnswer(request, 0);
    });
    const testing::ClientRun run = testing::RunKorvaneSmpp(
        {"send", "--port", std::to_string(smsc.Port()), "--to", "1", "--text", "n{n}", "--count",
         std::to_string(c.count), "--window", std::to_string(c.window), "--json"});
    EXPECT_EQ(run.exit_status, c.exit_status) << run.out;
    const std::string last = run.out.substr(run.out.rfind("{\"event\":"));  // the summary
    EXPECT_EQ(last.rfind(std::string("{\"event\":\"summary\",") + c.counts, 0), 0u) << last;
    std::vector<std::string> texts;
    for (const auto& pdu : smsc.Received())
      if (testing::CommandIdOf(pdu) == 4) texts.emplace_back(pdu.end() - 2, pdu.end());
    for (int n = 1; n <= std::min(c.count, 9); ++n)
      EXPECT_EQ(texts.at(n - 1), "n" + std::to_string(n));
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(c.count));
  }
  EXPECT_EQ(
      testing::RunKorvaneSmpp({"send", "--to", "1", "--text", "x", "--window", "4"}).exit_status,
      client::kExitUsage);
}

}  // namespace
}  // namespace korvane
