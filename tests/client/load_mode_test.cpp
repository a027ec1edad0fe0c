// send --count N --window W: the summary's arithmetic, and whole runs
// against the loopback SMSC.
#include <gtest/gtest.h>

#include <algorithm>

#include "client/exit_codes.hpp"
#include "client/load_summary.hpp"
#include "client_runner.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane {
namespace {

using testing::LoopbackSmsc;

TEST(LoadSummaryTest, CountsEachOutcomeSumsRetriesAndTimesOnlyAnswers) {
  struct Row {
    SubmitOutcome outcome;
    int ms, retries;
  };
  const Row results[] = {{SubmitOutcome::Accepted, 10, 2},      {SubmitOutcome::Accepted, 30, 0},
                         {SubmitOutcome::Refused, 20, 5},       {SubmitOutcome::TimedOut, 5000, 0},
                         {SubmitOutcome::ConnectionLost, 1, 1}, {SubmitOutcome::NotSent, 0, 0}};
  client::LoadTally tally;
  for (const Row& row : results) {
    SubmitResult result;
    result.Outcome = row.outcome;
    result.Elapsed = std::chrono::milliseconds(row.ms);
    result.Retries = row.retries;
    tally.Add(result);
  }
  tally.NotSubmitted(2);
  EXPECT_EQ(tally.Completed(), 8);
  const client::LoadSummary s = tally.Summarize(8, std::chrono::duration<double>(0.5));
  EXPECT_EQ(client::JsonObject("summary", client::SummaryFields(s)),
            "{\"event\":\"summary\",\"messages\":8,\"accepted\":2,\"refused\":1,\"timed_out\":1,"
            "\"lost\":1,\"not_sent\":3,\"retried\":8,\"seconds\":0.500,\"rate\":4.000,"
            "\"p50_ms\":20.000,\"p99_ms\":30.000}");
  EXPECT_EQ(client::Percentile({4, 1, 3, 2}, 50), 2);
}

TEST(LoadModeTest, EveryMessageGoesOnceNumberedAndOnlyAllAcceptedExitsZero) {
  struct Case {
    int count, window;
    bool refuse_odd;    // submit_sm with an odd sequence number refused (0x45: never retried)
    uint32_t throttle;  // when not 0: the status of the answer to the 20th submit_sm received
    const char* extra;  // one more option and its value, or ""
    int exit_status;
    const char* counts;  // from "messages" on
    int resent;          // submit_sm PDUs beyond (negative: short of) one per message
    int close_at = 0;    // when not 0: the connection closes at this submit_sm, unanswered
  };
  const Case cases[] = {
      {40, 8, false, 0, "", client::kExitOk, "\"messages\":40,\"accepted\":40,\"refused\":0,", 0},
      {6, 1, true, 0, "", client::kExitFailure, "\"messages\":6,\"accepted\":3,\"refused\":3,", 0},
      // A throttle or queue-full answer is sent again at its own place and
      // counted as retried.
      {22, 1, false, 0x58, "", client::kExitOk,
       "\"messages\":22,\"accepted\":22,\"refused\":0,\"timed_out\":0,\"lost\":0,"
       "\"not_sent\":0,\"retried\":1,",
       1},
      {22, 1, false, 0x14, "--tps=500", client::kExitOk,
       "\"messages\":22,\"accepted\":22,\"refused\":0,\"timed_out\":0,\"lost\":0,"
       "\"not_sent\":0,\"retried\":1,",
       1},
      {5, 5, false, 0, "--tps=1000", client::kExitOk, "\"messages\":5,\"accepted\":5,", 0},
      // Bound again after the close: the unanswered one is lost, never sent
      // again; the queued one goes on the next connection.
      {20, 1, false, 0, "--reconnect", client::kExitFailure,
       "\"messages\":20,\"accepted\":19,\"refused\":0,\"timed_out\":0,\"lost\":1,"
       "\"not_sent\":0,",
       0, 10},
      // Without --reconnect the run ends with the connection.
      {20, 1, false, 0, "", client::kExitFailure,
       "\"messages\":20,\"accepted\":9,\"refused\":0,\"timed_out\":0,\"lost\":1,"
       "\"not_sent\":10,",
       -10, 10},
  };
  for (const Case& c : cases) {
    LoopbackSmsc smsc;
    int submits = 0;
    smsc.SetResponder([&c, &submits, &smsc](const LoopbackSmsc::Octets& request) {
      const uint32_t sequence = testing::SequenceNumberOf(request);
      const bool submit = testing::CommandIdOf(request) == 4;
      if (submit && submits + 1 == c.close_at) {
        ++submits;
        smsc.Close();
        return std::vector<LoopbackSmsc::Octets>{};
      }
      if (submit && ++submits == 20 && c.throttle != 0)
        return std::vector<LoopbackSmsc::Octets>{
            testing::MakePdu(0x80000004, c.throttle, sequence, {})};
      if (c.refuse_odd && submit && sequence % 2 == 1)
        return std::vector<LoopbackSmsc::Octets>{testing::MakePdu(0x80000004, 0x45, sequence, {})};
      return LoopbackSmsc::DefaultAnswer(request, 0);
    });
    std::vector<std::string> arguments{"send",
                                       "--port",
                                       std::to_string(smsc.Port()),
                                       "--to",
                                       "1",
                                       "--text",
                                       "n{n}",
                                       "--count",
                                       std::to_string(c.count),
                                       "--window",
                                       std::to_string(c.window),
                                       "--json"};
    if (*c.extra) arguments.emplace_back(c.extra);
    const testing::ClientRun run = testing::RunKorvaneSmpp(arguments);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.out << run.err;
    const std::string last = run.out.substr(run.out.rfind("{\"event\":"));  // the summary
    EXPECT_EQ(last.rfind(std::string("{\"event\":\"summary\",") + c.counts, 0), 0u) << last;
    // The texts in the order sent; with a window of 1 a retried one comes
    // again right after itself.
    std::vector<std::string> texts;
    for (const auto& pdu : smsc.Received())
      if (testing::CommandIdOf(pdu) == 4) texts.emplace_back(pdu.end() - 2, pdu.end());
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(c.count + c.resent));
    std::size_t binds = 0;
    for (const auto& pdu : smsc.Received()) binds += testing::CommandIdOf(pdu) == 2;
    EXPECT_EQ(binds, c.close_at != 0 && *c.extra ? 2u : 1u);
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    std::vector<std::string> expected;
    for (int n = 1; n <= std::min(c.count + std::min(c.resent, 0), 9); ++n)
      expected.push_back("n" + std::to_string(n));
    texts.resize(expected.size());
    EXPECT_EQ(texts, expected);
  }
  EXPECT_EQ(
      testing::RunKorvaneSmpp({"send", "--to", "1", "--text", "x", "--window", "4"}).exit_status,
      client::kExitUsage);
}

}  // namespace
}  // namespace korvane
