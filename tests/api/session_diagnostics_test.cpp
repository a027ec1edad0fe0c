#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "diagnostics/error_record.hpp"
#include "korvane/smpp.hpp"
#include "session/session.hpp"
#include "support/event_recorder.hpp"
#include "support/fake_environment.hpp"

namespace korvane::session {
namespace {

using korvane::testing::EventRecorder;

class SessionDiagnosticsTest : public ::testing::Test {
 protected:
  SessionDiagnosticsTest() : smpp(environment), session(Session::Of(smpp)) {
    smpp.Subscribe(events);
  }

  korvane::testing::FakeEnvironment environment;
  SMPP smpp;
  Session& session;
  EventRecorder events;
};

TEST_F(SessionDiagnosticsTest, FailureInATrappedStepIsReportedAndTheProcedureGoesOn) {
  bool next_step_ran = false;
  auto procedure = session.Procedure("Bind");
  procedure.Step([] { throw ComponentError(6, "Overflow"); });
  procedure.Step([&] { next_step_ran = true; });
  EXPECT_TRUE(next_step_ran);
  ASSERT_EQ(events.Names(), (std::vector<std::string>{"Error"}));
  EXPECT_EQ(events.events[0].number, 6);
  EXPECT_EQ(korvane::testing::ReportLines(events.events[0].text)[4], "Procedure Name:Bind");
  EXPECT_EQ(diagnostics::CurrentError().number, 0);
}

// A host handler that changes the current error (for instance through a
// failing call of its own) must not change the error being reported.
TEST_F(SessionDiagnosticsTest, ReportKeepsTheCurrentErrorAcrossTheHostHandler) {
  struct Meddler : SMPPEvents {
    void Error(int32_t, const std::string&, const std::string&) override {
      diagnostics::CurrentError() = {91, "Object variable not set", "Host", "", 0};
    }
  } meddler;
  smpp.Subscribe(meddler);
  const diagnostics::ErrorRecord failure{13, "Type mismatch", "KorvaneSMPP", "", 0};
  diagnostics::CurrentError() = failure;
  EXPECT_EQ(session.ReportError("SMPP", "SendMessage"), ErrorDecision::Ignore);
  EXPECT_EQ(diagnostics::CurrentError(), failure);
  diagnostics::CurrentError() = {};
}

}  // namespace
}  // namespace korvane::session
