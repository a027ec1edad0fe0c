// The error trap and its reporters, the seven-line error report, and
// hexadecimal PDU text.
#include <gtest/gtest.h>

#include <stdexcept>

#include "diagnostics/error_record.hpp"
#include "diagnostics/error_report.hpp"
#include "diagnostics/error_trap.hpp"
#include "diagnostics/hex_octets.hpp"
#include "support/test_util.hpp"

namespace korvane::diagnostics {
namespace {

using korvane::testing::ErrorNumberOf;

// Answers every report with one decision; keeps the errors it was shown.
struct OneAnswer final : ErrorReporter {
  explicit OneAnswer(ErrorDecision decision) : answer(decision) {}
  ErrorDecision ReportError(std::string_view, std::string_view) override {
    seen.push_back(CurrentError());
    return answer;
  }
  ErrorDecision answer;
  std::vector<ErrorRecord> seen;
};

// An unchecked stretch fails silently; then the first run of a step fails:
// Abort raises the error as held, Retry runs the step again, Ignore goes on
// with the next step, any other answer leaves the procedure. The reporter
// sees the error once; the current error is cleared afterwards.
TEST(TrappedProcedureTest, TheDecisionSetsHowTheProcedureGoesOn) {
  const ErrorRecord failure{29983, "Not connected", "Winsock", "h.chm", 7};
  using enum ErrorDecision;
  const std::pair<ErrorDecision, const char*> cases[] = {
      {Abort, "1 raised"}, {Retry, "112"}, {Ignore, "12"}, {ErrorDecision(2), "1"}};
  for (const auto& [decision, expected] : cases) {
    OneAnswer reporter(decision);
    TrappedProcedure trap(reporter, "SMPP", "Bind");
    std::string log;  // the runs of the failing step (1) and of the next (2)
    try {
      trap.Unchecked([] { throw std::runtime_error("skipped"); });
      trap.Step([&] {
        if ((log += "1") == "1") throw ToComponentError(failure);
      });
      trap.Step([&] { log += "2"; });
    } catch (...) {
      if (ErrorFromException(std::current_exception()) == failure) log += " raised";
    }
    EXPECT_EQ(log, expected);
    EXPECT_EQ(reporter.seen, std::vector<ErrorRecord>{failure});
    EXPECT_EQ(CurrentError(), ErrorRecord{});
  }
}

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

// Without a handler the report goes to standard error and the answer is
// Ignore; a handler decides. (That it cannot change the error being
// reported: tests/api.)
TEST(HelperModuleTest, ReportsToStandardErrorOrAsksTheHandler) {
  TrappedProcedure trap(HelperModule(), kHelperModuleName, "GetTZBiasString");
  ::testing::internal::CaptureStderr();
  trap.Step([] { throw std::overflow_error("bias"); });
  EXPECT_EQ(trap.Value(0, [] { return 1; }), 1);  // the next step runs
  EXPECT_TRUE(::testing::internal::GetCapturedStderr().starts_with(
      "UNEXPECTED ERROR\nError Number  :6\r\n"));
  std::string report;
  SetUnexpectedErrorHandler([&](const std::string& text) {
    report = text;
    return ErrorDecision::Abort;
  });
  EXPECT_EQ(ErrorNumberOf([&] { trap.Step([] { throw ComponentError(13, "Type mismatch"); }); }),
            13);
  SetUnexpectedErrorHandler(nullptr);
  EXPECT_NE(report.find("\r\nModule Name   :modCommon\r\n"), std::string::npos);
}

// Blanks separate the pieces (any number, only the space); a piece is any
// number of hex digits in either case. Not hex: 13; over 0xFF: 6; the first
// bad piece decides.
TEST(HexOctetsTest, ParsesPiecesAndRefusesBadOnes) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"  a 1A  ff 0 001a 000000000000FF ", "0A 1A FF 00 1A FF"},
      {"1A\t2B", "error 13"},
      {"100", "error 6"},
      {"10000000000000000000000000000000A", "error 6"},  // would wrap to 0x0A in 32 bits
      {"00 XY 100", "error 13"},
  };
  for (const auto& [text, expected] : cases) {
    std::string octets;
    const int error =
        ErrorNumberOf([&] { octets = korvane::testing::HexText(ParseHexOctets(text)); });
    EXPECT_EQ(error ? std::string("error ") + std::to_string(error) : octets, expected) << text;
  }
}

}  // namespace
}  // namespace korvane::diagnostics
