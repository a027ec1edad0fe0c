// Submissions still open when the session is destroyed: each completion runs
// exactly once, sent ones as ConnectionLost, queued ones as NotSent, and a
// submission made from inside a completion then completes at once.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <vector>

#include "korvane/smpp.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"
#include "support/loopback_smsc.hpp"

namespace korvane {
namespace {

TEST(SubmitLifetimeTest, DestroyingTheSessionCompletesEverySubmissionOnce) {
  struct Case {
    bool auto_unbind;
  };
  for (const Case c : {Case{true}, Case{false}}) {
    SCOPED_TRACE(c.auto_unbind ? "unbinds on destruction" : "closes without unbind");
    testing::FakeEnvironment environment;
    testing::EventRecorder events;
    std::map<int, std::vector<SubmitResult>> results;
    std::vector<SubmitResult> resubmitted;
    {
      std::optional<SMPP> smpp(std::in_place, environment);
      smpp->Subscribe(events);
      smpp->SMPPServerAddress("smsc.test");
      smpp->SMPPServerPort(2775);
      smpp->OperationsTimeout(1);
      smpp->AutoUnbindOnDestroy(c.auto_unbind);
      testing::ScriptedSocket& socket = *environment.LastSocket();
      socket.AnswerWith([](const std::vector<uint8_t>& sent) {
        std::vector<uint8_t> answer;
        for (const auto& pdu : testing::LoopbackSmsc::DefaultAnswer(sent, 0))
          answer.insert(answer.end(), pdu.begin(), pdu.end());
        return answer;
      });
      ASSERT_EQ(smpp->Bind(BindTypes::SmppBindAsTransmitter), 2);
      // From now on only the unbind is answered.
      socket.AnswerWith([](const std::vector<uint8_t>& sent) {
        std::vector<uint8_t> answer;
        if (sent.size() >= 8 && sent[7] == 0x06)
          for (const auto& pdu : testing::LoopbackSmsc::DefaultAnswer(sent, 0))
            answer.insert(answer.end(), pdu.begin(), pdu.end());
        return answer;
      });
      smpp->MaxOutstanding(2);
      MessageObject message;
      message.DestAddress = "1234";
      SMPP* session = &*smpp;  // still valid inside its destructor
      for (int n = 0; n < 4; ++n) {
        smpp->SubmitAsync(message, [&, n](const SubmitResult& r) {
          results[n].push_back(r);
          // A submission from inside the completion is not sent: it
          // completes at once.
          if (n == 0)
            session->SubmitAsync(message,
                                 [&](const SubmitResult& again) { resubmitted.push_back(again); });
        });
      }
      environment.Advance(std::chrono::milliseconds(100));
      EXPECT_TRUE(results.empty());
      smpp.reset();
    }
    const SubmitOutcome expected[] = {SubmitOutcome::ConnectionLost, SubmitOutcome::ConnectionLost,
                                      SubmitOutcome::NotSent, SubmitOutcome::NotSent};
    for (int n = 0; n < 4; ++n) {
      ASSERT_EQ(results[n].size(), 1u) << n;
      EXPECT_EQ(results[n][0].Outcome, expected[n]) << n;
    }
    ASSERT_EQ(resubmitted.size(), 1u);
    EXPECT_EQ(resubmitted[0].Outcome, SubmitOutcome::NotSent);
  }
}

}  // namespace
}  // namespace korvane
