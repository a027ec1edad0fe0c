// The session-level encoders, byte for byte: a bind carries the settings in
// order, an octet out of range is sent as 0 and kept as a fault; header-only
// PDUs and the responses echo the sequence octets.
#include "encoders/session_encoders.hpp"

#include <gtest/gtest.h>

#include "support/test_util.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane {
namespace {

TEST(SessionEncodersTest, Vectors) {
  const encoders::EncodedBind bind =
      encoders::EncodeBind({vocabulary::kBindTransceiver, 2, "ab", "p", "", 0x34, 1, 1, "9"});
  EXPECT_TRUE(bind.faults.empty());
  const encoders::EncodedBind unfit = encoders::EncodeBind({.command_id = vocabulary::kBindReceiver,
                                                            .sequence_number = 2,
                                                            .interface_version = 256,
                                                            .addr_ton = -1,
                                                            .addr_npi = 2});
  ASSERT_EQ(unfit.faults.size(), 2u);
  EXPECT_EQ(unfit.faults[0].Number(), 6);
  const std::pair<std::vector<uint8_t>, const char*> rows[] = {
      {bind.pdu,
       "00 00 00 1B 00 00 00 09 00 00 00 00 00 00 00 02 61 62 00 70 00 00 34 01 01 39 00"},
      {unfit.pdu, "00 00 00 17 00 00 00 01 00 00 00 00 00 00 00 02 00 00 00 00 00 02 00"},
      {encoders::EncodeHeaderOnly(vocabulary::kEnquireLink, 1),
       "00 00 00 10 00 00 00 15 00 00 00 00 00 00 00 01"},
      {encoders::EncodeHeaderOnly(vocabulary::kUnbindResp, 0xFFFFFFFE),
       "00 00 00 10 80 00 00 06 00 00 00 00 FF FF FF FE"},
      {encoders::EncodeDeliverSmResp(0x80000001),
       "00 00 00 11 80 00 00 05 00 00 00 00 80 00 00 01 00"},
      {encoders::EncodeDataSmResp(0x0000012C),
       "00 00 00 11 80 00 01 03 00 00 00 00 00 00 01 2C 00"},
      {encoders::EncodeGenericNack(vocabulary::kStatusInvalidCommandId, 7),
       "00 00 00 10 80 00 00 00 00 00 00 03 00 00 00 07"},
      {encoders::EncodeGenericNack(0x12345678, 0x7FFFFFFF),
       "00 00 00 10 80 00 00 00 12 34 56 78 7F FF FF FF"},
  };
  for (const auto& [pdu, hex] : rows) EXPECT_EQ(testing::HexText(pdu), hex);
}

}  // namespace
}  // namespace korvane
