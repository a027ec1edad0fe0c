// The response decoders, from hex vectors.
#include "decoders/response_decoders.hpp"

#include <gtest/gtest.h>

#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

constexpr const char* kHeader = "00 00 00 00 80 00 00 21 00 00 00 00 00 00 00 05 ";

TEST(ResponseDecodersTest, MessageIdNeedsItsNul) {
  EXPECT_EQ(decoders::DecodeMessageId(Hex(std::string(kHeader) + "41 42 00")), "AB");
  EXPECT_EQ(ErrorNumberOf([] { decoders::DecodeMessageId(Hex(std::string(kHeader) + "41")); }), 9);
}

TEST(ResponseDecodersTest, SubmitMultiListEndsWithThePdu) {
  struct Row {
    const char* body;
    uint8_t count;
    std::size_t entries;
  };
  const Row rows[] = {
      {"41 00", 0, 0},                                            // no count at all
      {"41 00 02 01 01 35 00 00 00 00 0B", 2, 1},                 // second entry missing
      {"41 00 02 01 01 35 00 00 00 00 0B 00 00 36 00 00", 2, 1},  // second entry cut short
      {"41 00 01 01 01 35 00 00 00 00 0B", 1, 1},
  };
  for (const Row& row : rows) {
    const auto decoded = decoders::DecodeSubmitMultiResp(Hex(std::string(kHeader) + row.body));
    EXPECT_EQ(decoded.message_id, "A") << row.body;
    EXPECT_EQ(decoded.no_unsuccess, row.count) << row.body;
    ASSERT_EQ(decoded.unsuccessful.size(), row.entries) << row.body;
    if (row.entries == 0) continue;
    EXPECT_EQ(decoded.unsuccessful[0].address, "5");
    EXPECT_EQ(decoded.unsuccessful[0].error_status_code, 11u);
  }
}

TEST(ResponseDecodersTest, QueryStateIsTheLastTwoOctets) {
  const auto decoded = decoders::DecodeQuerySmResp(Hex(std::string(kHeader) + "41 00 00 02 07"));
  EXPECT_FALSE(decoded.fault);
  EXPECT_EQ(decoded.message_state, 2);
  EXPECT_EQ(decoded.error_code, 7);
  const auto cut = decoders::DecodeQuerySmResp(Hex(std::string(kHeader) + "41 00 39 39"));
  EXPECT_EQ(cut.message_id, "A");
  ASSERT_TRUE(cut.fault);
  EXPECT_EQ(cut.fault->Number(), 9);
}

TEST(ResponseDecodersTest, SequenceNumberBeyondSignedRangeIsAFault) {
  const auto fits = decoders::DecodeHeaderResponse({.command_status = 17, .sequence_number = 9});
  EXPECT_EQ(fits.sequence_number, 9);
  EXPECT_EQ(fits.command_status, 17u);
  const auto beyond = decoders::DecodeHeaderResponse({.sequence_number = 0x80000000});
  EXPECT_EQ(beyond.sequence_number, 0);
  ASSERT_TRUE(beyond.fault);
  EXPECT_EQ(beyond.fault->Number(), 6);
}

}  // namespace
}  // namespace korvane
