#include "diagnostics/error_trap.hpp"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "diagnostics/error_record.hpp"

namespace korvane::diagnostics {
namespace {

// Answers each report with the next scripted decision; records the error seen.
class ScriptedReporter final : public ErrorReporter {
 public:
  explicit ScriptedReporter(std::vector<ErrorDecision> decisions) : decisions_(decisions) {}
  ErrorDecision ReportError(std::string_view, std::string_view procedure) override {
    EXPECT_EQ(procedure, "Bind");
    seen.push_back(CurrentError());
    return decisions_.at(seen.size() - 1);
  }
  std::vector<ErrorRecord> seen;

 private:
  std::vector<ErrorDecision> decisions_;
};

[[noreturn]] void Fail() { throw ComponentError(29983, "Not connected", "Winsock", "h.chm", 7); }

TEST(TrappedProcedureTest, AbortRaisesTheErrorAsHeldAndClearsIt) {
  ScriptedReporter reporter({ErrorDecision::Abort});
  TrappedProcedure trap(reporter, "SMPP", "Bind");
  try {
    trap.Step(Fail);
    FAIL() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_EQ(ErrorFromException(std::current_exception()),
              (ErrorRecord{29983, "Not connected", "Winsock", "h.chm", 7}));
  }
  EXPECT_EQ(reporter.seen.at(0).number, 29983);
  EXPECT_EQ(CurrentError().number, 0);
}

TEST(TrappedProcedureTest, RetryRunsTheFailedStepAgain) {
  ScriptedReporter reporter({ErrorDecision::Retry, ErrorDecision::Retry});
  TrappedProcedure trap(reporter, "SMPP", "Bind");
  int runs = 0;
  trap.Step([&] {
    if (++runs < 3) Fail();
  });
  EXPECT_EQ(runs, 3);
  EXPECT_FALSE(trap.Left());
}

TEST(TrappedProcedureTest, IgnoreGoesOnAndUncheckedStretchesAreNotReported) {
  ScriptedReporter reporter({ErrorDecision::Ignore});
  TrappedProcedure trap(reporter, "SMPP", "Bind");
  const int result = trap.Value(-1, []() -> int { throw std::out_of_range("index"); });
  trap.Unchecked(Fail);  // skipped silently, without a report
  bool next_ran = false;
  trap.Step([&] { next_ran = true; });
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(next_ran);
  EXPECT_EQ(reporter.seen.size(), 1u);
  EXPECT_EQ(CurrentError().number, 0);
}

TEST(TrappedProcedureTest, AnyOtherDecisionLeavesTheProcedure) {
  ScriptedReporter reporter({static_cast<ErrorDecision>(2)});
  TrappedProcedure trap(reporter, "SMPP", "Bind");
  trap.Step(Fail);
  bool later_ran = false;
  trap.Step([&] { later_ran = true; });
  trap.Unchecked([&] { later_ran = true; });
  EXPECT_EQ(trap.Value(5, [] { return 6; }), 5);
  EXPECT_TRUE(trap.Left());
  EXPECT_FALSE(later_ran);
}

TEST(ErrorFromExceptionTest, NumbersFailuresAsThePlatformDoes) {
  const std::tuple<std::exception_ptr, int32_t, std::string> cases[] = {
      {std::make_exception_ptr(std::bad_alloc()), 7, "Out of memory"},
      {std::make_exception_ptr(std::out_of_range("x")), 9, "Subscript out of range"},
      {std::make_exception_ptr(std::overflow_error("x")), 6, "Overflow"},
      {std::make_exception_ptr(std::range_error("x")), 6, "Overflow"},
      {std::make_exception_ptr(std::invalid_argument("x")), 13, "Type mismatch"},
      {std::make_exception_ptr(std::runtime_error("socket gone")), 5, "socket gone"},
      {std::make_exception_ptr(42), 5, "Invalid procedure call or argument"},
      {std::make_exception_ptr(ComponentError(91, "No object", "")), 91, "No object"},
  };
  for (const auto& [failure, number, description] : cases) {
    const ErrorRecord expected{number, description, "KorvaneSMPP", "", 0};
    EXPECT_EQ(ErrorFromException(failure), expected) << description;
  }
}

}  // namespace
}  // namespace korvane::diagnostics
