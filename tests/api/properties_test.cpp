// The rules of a few properties and the error reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_fixture.hpp"
#include "diagnostics/error_record.hpp"
#include "session/session.hpp"

namespace korvane {
namespace {

using testing::Join;

class PropertiesTest : public testing::ApiTest {};

// SystemID and UserName are one field; ReceiverAddressRange refuses more
// than 41 characters with a report carrying the environment's time.
TEST_F(PropertiesTest, PropertiesKeepTheirOwnRulesAndReportsTheEnvironmentsTime) {
  SMPP other(environment);
  EXPECT_EQ(Run([&] {
              smpp.UserName("alpha");
              smpp.ReceiverAddressRange(std::string(41, '7'));
              smpp.ReceiverAddressRange(std::string(42, '7'));
              return Join(smpp.SystemID(), smpp.ReceiverAddressRange().size(),
                          smpp.InstanceID != other.InstanceID);
            }),
            "alpha 41 1 | Error#22342{@ReceiverAddressRange[Property Let]} |  | 0ms");
  EXPECT_EQ(testing::ReportLines(events.events.at(0).text).back(),
            "Date and time :" + environment.LocalNow().ToString());
  // So do reports made outside the session's own reporter.
  try {
    for (int i = 0; i < 255; ++i) message.AddRecipient({}, {}, std::to_string(i));
    ADD_FAILURE() << "255 recipients taken";
  } catch (const ComponentError& error) {
    EXPECT_EQ(testing::ReportLines(error.Description()).back(),
              "Date and time :" + environment.LocalNow().ToString());
  }
  std::string title, version;
  SetAboutHandler([&](const std::string& t, const std::string& v) { title = t, version = v; });
  smpp.AboutKVSMPP();
  SetAboutHandler(nullptr);
  EXPECT_EQ(title + " " + version, std::string("KorvaneSMPP ") + KORVANE_SMPP_VERSION_STRING);
}

// A failing step is reported and the procedure goes on; a host handler that
// changes the current error (for instance through a failing call of its
// own) does not change the error being reported.
TEST_F(PropertiesTest, AFailureInATrappedStepIsReportedAndTheProcedureGoesOn) {
  bool next_step_ran = false;
  auto procedure = session::Session::Of(smpp).Procedure("Bind");
  procedure.Step([] { throw ComponentError(6, "Overflow"); });
  procedure.Step([&] { next_step_ran = true; });
  EXPECT_EQ(Join(events.Summary(), next_step_ran, diagnostics::CurrentError().number),
            "Error#6{@Bind} 1 0");
  struct Meddler : SMPPEvents {
    void Error(int32_t, const std::string&, const std::string&) override {
      diagnostics::CurrentError() = {91, "Object variable not set", "Host", "", 0};
    }
  } meddler;
  smpp.Subscribe(meddler);
  const diagnostics::ErrorRecord failure{13, "Type mismatch", "KorvaneSMPP", "", 0};
  diagnostics::CurrentError() = failure;
  EXPECT_EQ(session::Session::Of(smpp).ReportError("SMPP", "SendMessage"), ErrorDecision::Ignore);
  EXPECT_EQ(diagnostics::CurrentError(), failure);
  diagnostics::CurrentError() = {};
}

}  // namespace
}  // namespace korvane
