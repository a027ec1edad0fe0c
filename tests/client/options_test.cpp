// The command line: bad arguments end before any connection, with exit 2
// and a hint; help documents the exit statuses.
#include <gtest/gtest.h>

#include "client/exit_codes.hpp"
#include "client/output.hpp"
#include "client_runner.hpp"

namespace korvane {
namespace {

using testing::RunKorvaneSmpp;

TEST(ClientOptionsTest, BadArgumentsExitTwoWithAOneLineErrorAndAHint) {
  const std::vector<std::vector<std::string>> bad_lines{
      {},
      {"frobnicate"},
      {"send", "--text", "no destination"},
      {"send", "--to", "1", "--text", "a", "--hex", "00"},
      {"send", "--to", "1", "--hex", "0g"},
      {"send", "--to", "1", "--tlv", "0x10000=00"},
      {"send", "--to", "1", "--tlv", "30=012"},
      {"send", "--to", "1", "--tlv", "no-equals"},
      {"send", "--to", "1", "--schedule", "2026-13-01 10:00"},
      {"send", "--to", "1", "--hex", std::string(512, 'a')},
      {"send", "--to", "1", "--text", "caf\xc3\xa9", "--coding", "1"},
      {"send", "--to", "1", "--text", "x", "--coding", "4"},
      {"send", "--to", "1", "--text", "x", "--encoding", "ucs2", "--coding", "3"},
      {"send", "--to", "1", "--text", "x\xff"},
      {"send", "--to", "1", "--text", "x", "--split", "halves"},
      {"send", "--to", "1", "--password", "a", "--password-file", "/dev/null"},
      {"send", "--to", "1", "--password-file", "/nonexistent/secret"},
      {"send", "--to", "1", "--coding", "256"},
      {"listen", "--port", "0"},
      {"listen", "--bind", "both"},
      {"query", "--from", "1"},
      {"enquire", "--timeout", "0"},
  };
  for (const auto& line : bad_lines) {
    const testing::ClientRun run = RunKorvaneSmpp(line);
    const std::string shown = ::testing::PrintToString(line);
    EXPECT_EQ(run.exit_status, client::kExitUsage) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_NE(run.err.find("Run with --help for more information."), std::string::npos) << shown;
  }
}

TEST(ClientOptionsTest, HelpDocumentsTheExitStatuses) {
  for (const auto& line : std::vector<std::vector<std::string>>{{"--help"}, {"send", "--help"}}) {
    const testing::ClientRun run = RunKorvaneSmpp(line);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("3 cannot connect or bind refused, 4 timeout"), std::string::npos);
  }
}

TEST(ClientOptionsTest, AnUnencodableCharacterIsNamedAndNothingIsSent) {
  const testing::ClientRun run = RunKorvaneSmpp(
      {"send", "--to", "1", "--port", "1", "--text", "caf\xc3\xa9!", "--coding", "1"});
  EXPECT_EQ(run.exit_status, client::kExitUsage);
  EXPECT_NE(run.err.find("--text: U+00E9 '\xc3\xa9' at position 4 cannot be encoded in ASCII"),
            std::string::npos)
      << run.err;
}

TEST(ClientOptionsTest, JsonStringsEscapeQuotesControlsAndNonAsciiCharacters) {
  EXPECT_EQ(client::JsonString("a\"b\\c\n\r\t\x01\x1f\x7f\xc3\xa9 ok"),
            "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\\u007f\\u00e9 ok\"");
  // UTF-8 as its code points, a pair above U+FFFF; a stray octet as itself.
  EXPECT_EQ(client::JsonString("\xd0\x9f\xf0\x9f\x98\x80\xe9"), "\"\\u041f\\ud83d\\ude00\\u00e9\"");
  EXPECT_EQ(client::JsonObject("x", {{"n", int64_t{-5}}, {"b", true}, {"s", std::string("")}}),
            "{\"event\":\"x\",\"n\":-5,\"b\":true,\"s\":\"\"}");
}

}  // namespace
}  // namespace korvane
