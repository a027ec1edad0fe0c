#include "vocabulary/pdu_reader.hpp"

#include <gtest/gtest.h>

#include "codec_test_util.hpp"
#include "vocabulary/command_ids.hpp"

namespace korvane::vocabulary {
namespace {

TEST(PduReaderTest, ReadsFieldsInOrderUpToExactlyTheEnd) {
  const auto pdu = Hex("2A 01 02 80 00 00 01 31 41 00 00 58 59 FF");
  PduReader reader(pdu);
  EXPECT_EQ(reader.ReadOctet(), 0x2A);
  EXPECT_EQ(reader.ReadShort(), 0x0102);
  EXPECT_EQ(reader.ReadLong(), 0x80000001u);
  EXPECT_EQ(reader.ReadCString(), "1A");
  EXPECT_EQ(reader.ReadCString(), "");
  EXPECT_EQ(reader.ReadText(2), "XY");
  EXPECT_EQ(reader.Remaining(), 1u);
  const auto last = reader.ReadOctets(1);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0], 0xFF);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadOctets(0).size(), 0u);
  EXPECT_EQ(reader.ReadText(0), "");
}

TEST(PduReaderTest, ReadPastTheEndThrowsAndLeavesThePosition) {
  const auto pdu = Hex("00 01 02 41 42");
  struct Case {
    const char* name;
    std::size_t start;
    void (*read)(PduReader&);
  };
  const Case cases[] = {
      {"octet at end", 5, [](PduReader& r) { r.ReadOctet(); }},
      {"short over end", 4, [](PduReader& r) { r.ReadShort(); }},
      {"long over end", 2, [](PduReader& r) { r.ReadLong(); }},
      {"text over end", 3, [](PduReader& r) { r.ReadText(3); }},
      {"octets over end", 0, [](PduReader& r) { r.ReadOctets(6); }},
      {"huge count", 1, [](PduReader& r) { r.ReadOctets(SIZE_MAX); }},
      {"C-string without NUL", 3, [](PduReader& r) { r.ReadCString(); }},
      {"C-string at end", 5, [](PduReader& r) { r.ReadCString(); }},
      {"skip over end", 2, [](PduReader& r) { r.Skip(4); }},
      {"skip huge", 2, [](PduReader& r) { r.Skip(SIZE_MAX); }},
      {"seek past end", 2, [](PduReader& r) { r.Seek(6); }},
  };
  for (const Case& c : cases) {
    PduReader reader(pdu);
    reader.Seek(c.start);
    EXPECT_EQ(ErrorNumberOf([&] { c.read(reader); }), 9) << c.name;
    EXPECT_EQ(reader.Position(), c.start) << c.name;
  }
}

TEST(PduReaderTest, SeekAndSkipMayReachTheEnd) {
  const auto pdu = Hex("00 01 02");
  PduReader reader(pdu);
  reader.Skip(3);
  EXPECT_TRUE(reader.AtEnd());
  reader.Seek(1);
  EXPECT_EQ(reader.ReadOctet(), 0x01);
  reader.Seek(3);
  EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(PduReaderTest, EmptyPduRefusesEveryRead) {
  PduReader reader(std::span<const uint8_t>{});
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(ErrorNumberOf([&] { reader.ReadCString(); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { reader.ReadOctet(); }), 9);
}

TEST(PduHeaderTest, DecodesTheFourHeaderFields) {
  const auto pdu = Hex("00 00 00 11 80 00 00 05 00 00 01 00 00 00 01 2C 00");
  EXPECT_EQ(ReadHeader(pdu), (PduHeader{17, kDeliverSmResp, 0x100, 300}));
}

TEST(PduHeaderTest, FewerThanSixteenOctetsIsOutOfRange) {
  const auto pdu = Hex("00 00 00 10 00 00 00 15 00 00 00 00 00 00 00");
  EXPECT_EQ(ErrorNumberOf([&] { ReadHeader(pdu); }), 9);
}

TEST(PduHeaderTest, SequenceNumberOfTwoToThe31OrMoreOverflows) {
  EXPECT_EQ(SequenceNumberOf(PduHeader{16, kUnbind, 0, 0x7FFFFFFF}), 0x7FFFFFFF);
  EXPECT_EQ(SequenceNumberOf(PduHeader{16, kUnbind, 0, 0}), 0);
  EXPECT_EQ(ErrorNumberOf([] { SequenceNumberOf(PduHeader{16, kUnbind, 0, 0x80000000}); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { SequenceNumberOf(PduHeader{16, kUnbind, 0, 0xFFFFFFFF}); }), 6);
}

}  // namespace
}  // namespace korvane::vocabulary
