#include "diagnostics/error_report.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "diagnostics/hooks.hpp"

namespace korvane::diagnostics {
namespace {

TEST(BuildErrorReportTest, GivesTheSevenLabelledLines) {
  const ErrorRecord error{5, "Invalid procedure call or argument", "KorvaneSMPP", "", 0};
  EXPECT_EQ(BuildErrorReport(error, "SMPP", "SMPPServerAddress[Property Get]",
                             DateTime(2024, 2, 29, 7, 5, 9), 120),
            "Error Number  :5\r\n"
            "Description   :Invalid procedure call or argument\r\n"
            "Build Number  :1\r\n"
            "Module Name   :SMPP\r\n"
            "Procedure Name:SMPPServerAddress[Property Get]\r\n"
            "Line Number   :120\r\n"
            "Date and time :2024-02-29 07:05:09");
}

class HelperModuleTest : public testing::Test {
 protected:
  void TearDown() override { SetUnexpectedErrorHandler(nullptr); }
  TrappedProcedure trap_{HelperModule(), kHelperModuleName, "GetTZBiasString"};
};

TEST_F(HelperModuleTest, WithoutHandlerWritesTheReportToStderrAndIgnores) {
  bool next_ran = false;
  testing::internal::CaptureStderr();
  trap_.Step([] { throw std::overflow_error("bias"); });
  trap_.Step([&] { next_ran = true; });
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(next_ran);
  EXPECT_EQ(written.rfind("UNEXPECTED ERROR\nError Number  :6\r\n", 0), 0u);
  EXPECT_NE(written.find("Module Name   :modCommon\r\nProcedure Name:GetTZBiasString\r\n"),
            std::string::npos);
}

TEST_F(HelperModuleTest, HandlerDecidesAndCannotChangeTheErrorBeingReported) {
  std::string report;
  SetUnexpectedErrorHandler([&](const std::string& text) {
    report = text;
    CurrentError() = {1, "changed by the host", "Host", "", 0};
    return ErrorDecision::Abort;
  });
  try {
    trap_.Step([] { throw ComponentError(13, "Type mismatch"); });
    FAIL() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.Number(), 13);
    EXPECT_EQ(e.Description(), "Type mismatch");
  }
  EXPECT_EQ(report.rfind("Error Number  :13\r\nDescription   :Type mismatch\r\n", 0), 0u);
}

TEST(AboutHookTest, DefaultWritesTitleAndVersionAndHandlerReplacesIt) {
  testing::internal::CaptureStderr();
  ShowAbout("KorvaneSMPP", "1.0.0");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "KorvaneSMPP 1.0.0\n");
  std::string shown;
  SetAboutHandler(
      [&](const std::string& title, const std::string& version) { shown = title + "|" + version; });
  ShowAbout("KorvaneSMPP", "1.0.0");
  SetAboutHandler(nullptr);
  EXPECT_EQ(shown, "KorvaneSMPP|1.0.0");
}

}  // namespace
}  // namespace korvane::diagnostics
