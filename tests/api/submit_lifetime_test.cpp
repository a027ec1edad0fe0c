// Destroying the session with submissions open: each completes once, sent
// ones as ConnectionLost, queued ones as NotSent; one made from inside a
// completion then completes at once.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "support/session_fixture.hpp"

namespace korvane {
namespace {

TEST(SubmitLifetimeTest, DestroyingTheSessionCompletesEverySubmissionOnce) {
  for (const bool auto_unbind : {true, false}) {
    testing::FakeEnvironment environment;
    testing::EventRecorder events;
    std::map<int, std::vector<SubmitOutcome>> outcomes;
    std::optional<SMPP> smpp(std::in_place, environment);
    SMPP* session = &*smpp;  // still valid inside its destructor
    smpp->SMPPServerAddress("smsc.test");
    smpp->SMPPServerPort(2775);
    smpp->AutoUnbindOnDestroy(auto_unbind);
    // Only the bind and the unbind are answered.
    environment.LastSocket()->AnswerWith([](const std::vector<uint8_t>& sent) {
      std::vector<uint8_t> answer;
      if (sent[7] == 0x02 || sent[7] == 0x06)
        answer = testing::LoopbackSmsc::DefaultAnswer(sent, 0).front();
      return answer;
    });
    ASSERT_EQ(smpp->Bind(BindTypes::SmppBindAsTransmitter), 2);
    smpp->MaxOutstanding(2);
    MessageObject message;
    message.DestAddress = "1234";
    for (int n = 0; n < 4; ++n) {
      smpp->SubmitAsync(message, [&, n](const SubmitResult& r) {
        outcomes[n].push_back(r.Outcome);
        if (n == 0)
          session->SubmitAsync(
              message, [&](const SubmitResult& again) { outcomes[4].push_back(again.Outcome); });
      });
    }
    environment.Advance(std::chrono::milliseconds(100));
    EXPECT_TRUE(outcomes.empty());
    smpp.reset();
    const std::map<int, std::vector<SubmitOutcome>> expected{{0, {SubmitOutcome::ConnectionLost}},
                                                             {1, {SubmitOutcome::ConnectionLost}},
                                                             {2, {SubmitOutcome::NotSent}},
                                                             {3, {SubmitOutcome::NotSent}},
                                                             {4, {SubmitOutcome::NotSent}}};
    EXPECT_EQ(outcomes, expected) << auto_unbind;
  }
}

}  // namespace
}  // namespace korvane
