// The session-level encoders, byte for byte.
#include "encoders/session_encoders.hpp"

#include <gtest/gtest.h>

#include "support/test_util.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane {
namespace {

using testing::HexText;

TEST(SessionEncodersTest, BindCarriesTheSettingsInOrder) {
  const encoders::EncodedBind bind =
      encoders::EncodeBind({.command_id = vocabulary::kBindTransceiver,
                            .sequence_number = 2,
                            .system_id = "ab",
                            .password = "p",
                            .system_type = "",
                            .interface_version = 0x34,
                            .addr_ton = 1,
                            .addr_npi = 1,
                            .address_range = "9"});
  EXPECT_TRUE(bind.faults.empty());
  EXPECT_EQ(HexText(bind.pdu),
            "00 00 00 1B 00 00 00 09 00 00 00 00 00 00 00 02 61 62 00 70 00 00 34 01 01 39 00");
}

TEST(SessionEncodersTest, BindOctetOutOfRangeIsSentAsZeroAndKeptAsAFault) {
  const encoders::EncodedBind bind = encoders::EncodeBind({.command_id = vocabulary::kBindReceiver,
                                                           .sequence_number = 2,
                                                           .interface_version = 256,
                                                           .addr_ton = -1,
                                                           .addr_npi = 2});
  ASSERT_EQ(bind.faults.size(), 2u);
  EXPECT_EQ(bind.faults[0].Number(), 6);
  EXPECT_EQ(HexText(bind.pdu),
            "00 00 00 17 00 00 00 01 00 00 00 00 00 00 00 02 00 00 00 00 00 02 00");
}

TEST(SessionEncodersTest, HeaderOnlyAndDeliverSmRespEchoTheSequenceOctets) {
  struct Row {
    std::vector<uint8_t> pdu;
    const char* hex;
  };
  const Row rows[] = {
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
  for (const Row& row : rows) EXPECT_EQ(HexText(row.pdu), row.hex);
}

}  // namespace
}  // namespace korvane
