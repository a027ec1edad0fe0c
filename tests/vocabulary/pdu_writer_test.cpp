#include "vocabulary/pdu_writer.hpp"

#include <gtest/gtest.h>

#include <string>

#include "codec_test_util.hpp"
#include "vocabulary/command_ids.hpp"
#include "vocabulary/sequence_counter.hpp"

namespace korvane::vocabulary {
namespace {

// bind_transmitter: system id "abc", empty password and system type,
// interface_version 52, TON 1, NPI 1, empty address range.
void PutBindTransmitterBody(PduWriter& writer) {
  writer.PutCString("abc");
  writer.PutCString("");
  writer.PutCString("");
  writer.PutOctet(52);
  writer.PutOctet(1);
  writer.PutOctet(1);
  writer.PutCString("");
}

const std::vector<uint8_t> kBindTransmitterPdu =
    Hex("00 00 00 1A 00 00 00 02 00 00 00 00 00 00 00 01 61 62 63 00 00 00 34 01 01 00");

TEST(PduWriterTest, ComputedBindTransmitterMatchesVector) {
  auto writer = PduWriter::Computed(26, kBindTransmitter, kBindTransmitterSequence);
  PutBindTransmitterBody(writer);
  EXPECT_EQ(std::move(writer).Finish(), kBindTransmitterPdu);
}

TEST(PduWriterTest, AppendedBindTransmitterMatchesComputed) {
  auto writer = PduWriter::Appended(kBindTransmitter, kBindTransmitterSequence);
  PutBindTransmitterBody(writer);
  EXPECT_EQ(std::move(writer).Finish(), kBindTransmitterPdu);
}

TEST(PduWriterTest, UnbindCarriesCountedSequenceNumber) {
  SequenceCounter counter;
  const auto pdu = PduWriter::Computed(16, kUnbind, counter.Next()).Finish();
  EXPECT_EQ(pdu, Hex("00 00 00 10 00 00 00 06 00 00 00 00 00 00 00 04"));
}

TEST(PduWriterTest, ResponseIdAndNegativeSequenceAreWrittenAsTheyAre) {
  const auto pdu = PduWriter::Computed(16, kEnquireLinkResp, -2).Finish();
  EXPECT_EQ(pdu, Hex("00 00 00 10 80 00 00 15 00 00 00 00 FF FF FF FE"));
}

TEST(PduWriterTest, OverflowingOctetLeavesZeroAndKeepsLaterFieldsInPlace) {
  for (bool computed : {true, false}) {
    auto writer =
        computed ? PduWriter::Computed(20, kSubmitSm, 4) : PduWriter::Appended(kSubmitSm, 4);
    writer.PutOctet(7);
    EXPECT_EQ(ErrorNumberOf([&] { writer.PutOctet(256); }), 6);
    EXPECT_EQ(ErrorNumberOf([&] { writer.PutOctet(-1); }), 6);
    writer.PutOctet(9);
    EXPECT_EQ(std::move(writer).Finish(),
              Hex("00 00 00 14 00 00 00 04 00 00 00 00 00 00 00 04 07 00 00 09"))
        << (computed ? "computed" : "appended");
  }
}

TEST(PduWriterTest, IntegerTextAndTlvFieldsAreEncodedInOrder) {
  auto writer = PduWriter::Appended(kSubmitSm, 5);
  writer.PutShort(0x00012345);
  writer.PutLong(-1);
  writer.PutText("CMT");
  const std::vector<uint8_t> bytes = {0x00, 0xFF};
  writer.PutOctets(bytes);
  writer.PutTlv(kTagUserMessageReference, std::vector<uint8_t>{0x01, 0x2C});
  writer.PutTlv(0x1403, std::string_view("abc"));
  writer.PutTlv(kTagMessagePayload, std::string_view());
  EXPECT_EQ(std::move(writer).Finish(), Hex("00 00 00 2C 00 00 00 04 00 00 00 00 00 00 00 05"
                                            "23 45 FF FF FF FF 43 4D 54 00 FF"
                                            "02 04 00 02 01 2C 14 03 00 03 61 62 63 04 24 00 00"));
}

TEST(PduWriterTest, TlvThatCannotBeEncodedWritesNothing) {
  auto writer = PduWriter::Appended(kSubmitSm, 5);
  const std::string too_long(0x10000, 'x');
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(0x1403, std::string_view(too_long)); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(0x10000, std::string_view("a")); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(-1, std::string_view("a")); }), 6);
  EXPECT_EQ(writer.Position(), kHeaderLength);
  const std::string longest(0xFFFF, 'x');
  writer.PutTlv(0x1403, std::string_view(longest));
  EXPECT_EQ(writer.Position(), kHeaderLength + 4 + 0xFFFF);
}

TEST(PduWriterTest, ComputedFieldPastTheLengthThrowsAndWritesNothing) {
  auto writer = PduWriter::Computed(19, kQuerySm, 4);
  writer.PutOctet(1);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutCString("ab"); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutLong(1); }), 9);
  EXPECT_EQ(writer.Position(), 17u);
  writer.PutCString("a");
  EXPECT_EQ(std::move(writer).Finish().back(), 0x00);
}

TEST(PduWriterTest, ComputedLengthMustBeFilledExactlyAndHoldTheHeader) {
  auto short_of_length = PduWriter::Computed(18, kQuerySm, 4);
  short_of_length.PutOctet(1);
  EXPECT_EQ(ErrorNumberOf([&] { std::move(short_of_length).Finish(); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { PduWriter::Computed(15, kUnbind, 4); }), 5);
}

}  // namespace
}  // namespace korvane::vocabulary
