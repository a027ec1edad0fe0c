// The wire codec (octets, sequence counter, PDU writer and reader) and the
// value types (Variant, DateTime, numeric text).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/errors.hpp"
#include "korvane/variant.hpp"
#include "support/test_util.hpp"
#include "vocabulary/numeric_text.hpp"
#include "vocabulary/octets.hpp"
#include "vocabulary/pdu_reader.hpp"
#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"
#include "vocabulary/sequence_counter.hpp"

namespace korvane {

// Lets failed expectations show dates readably.
void PrintTo(const DateTime& date, std::ostream* out) { *out << date.ToString(); }

namespace {

using namespace vocabulary;

using testing::ErrorNumberOf;
using testing::Hex;

TEST(OctetsTest, IntegersAreBigEndianTwosComplementAndOctetsFit0To255) {
  EXPECT_EQ(LongToOctets(1), (std::array<uint8_t, 4>{0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(LongToOctets(0x7FFFFFFF), (std::array<uint8_t, 4>{0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(LongToOctets(-1), (std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(ShortToOctets(0x1234), (std::array<uint8_t, 2>{0x12, 0x34}));
  EXPECT_EQ(ShortToOctets(0x00012345), (std::array<uint8_t, 2>{0x23, 0x45}));
  EXPECT_EQ(ErrorNumberOf([] { ToOctet(256); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { ToOctet(-1); }), 6);
}

TEST(ProtocolTest, CommandNamesAndResponsesAndUnknownIds) {
  const std::pair<uint32_t, const char*> rows[] = {
      {kGenericNack, "generic_nack"},
      {kBindTransceiver, "bind_transceiver"},
      {kEnquireLinkResp, "enquire_link_resp"},
      {kDataSm, "data_sm"},
      {0x80000103, "data_sm_resp"},
      {0x00000123, "0x00000123"},
  };
  for (const auto& [id, name] : rows) EXPECT_EQ(CommandName(id), name);
}

TEST(SequenceCounterTest, StartsAtFourAndWrapsFromTheMaximumToOne) {
  SequenceCounter counter;
  EXPECT_EQ(counter.Next(), 4);
  counter.SetLast(0x7FFFFFFE);
  EXPECT_EQ(counter.Next(), 0x7FFFFFFF);
  EXPECT_EQ(counter.Next(), 1);
}

// Computed and appended building must give the same octets.
TEST(PduWriterTest, BindTransmitterMatchesTheVectorEitherWay) {
  for (const bool computed : {true, false}) {
    auto writer = computed ? PduWriter::Computed(26, kBindTransmitter, kBindTransmitterSequence)
                           : PduWriter::Appended(kBindTransmitter, kBindTransmitterSequence);
    for (const char* text : {"abc", "", ""}) writer.PutCString(text);
    for (const int octet : {52, 1, 1}) writer.PutOctet(octet);
    writer.PutCString("");
    EXPECT_EQ(std::move(writer).Finish(), Hex("00 00 00 1A 00 00 00 02 00 00 00 00 00 00 00 01 "
                                              "61 62 63 00 00 00 34 01 01 00"))
        << (computed ? "computed" : "appended");
  }
}

TEST(PduWriterTest, OverflowingOctetLeavesZeroAndKeepsLaterFieldsInPlace) {
  for (const bool computed : {true, false}) {
    auto writer =
        computed ? PduWriter::Computed(19, kSubmitSm, 4) : PduWriter::Appended(kSubmitSm, 4);
    writer.PutOctet(255);
    EXPECT_EQ(ErrorNumberOf([&] { writer.PutOctet(256); }), 6);
    writer.PutOctet(9);
    EXPECT_EQ(std::move(writer).Finish(),
              Hex("00 00 00 13 00 00 00 04 00 00 00 00 00 00 00 04 FF 00 09"))
        << (computed ? "computed" : "appended");
  }
}

TEST(PduWriterTest, TlvIsTagLengthValueAndOverflowWritesNothing) {
  auto writer = PduWriter::Appended(kSubmitSm, 5);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(0x1403, std::string(0x10000, 'x')); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(0x10000, "a"); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutTlv(-1, "a"); }), 6);
  writer.PutTlv(kTagUserMessageReference, std::vector<uint8_t>{0x01, 0x2C});
  writer.PutTlv(0x1403, "abc");
  EXPECT_EQ(std::move(writer).Finish(), Hex("00 00 00 1D 00 00 00 04 00 00 00 00 00 00 00 05 "
                                            "02 04 00 02 01 2C 14 03 00 03 61 62 63"));
}

TEST(PduWriterTest, ComputedPduMustHoldTheHeaderAndBeFilledExactly) {
  auto writer = PduWriter::Computed(18, kQuerySm, 4);
  writer.PutOctet(1);
  EXPECT_EQ(ErrorNumberOf([&] { writer.PutShort(1); }), 9);
  EXPECT_EQ(writer.Position(), 17u);
  EXPECT_EQ(ErrorNumberOf([&] { std::move(writer).Finish(); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { PduWriter::Computed(15, kUnbind, 4); }), 5);
}

TEST(PduReaderTest, DecodesTheHeaderAndBodyFieldsInOrder) {
  auto pdu = Hex("00 00 00 19 80 00 00 05 00 00 01 00 7F FF FF FF 2A 81 02 31 41 00 00 58 59");
  EXPECT_EQ(ReadHeader(pdu), (PduHeader{25, kDeliverSmResp, 0x100, 0x7FFFFFFF}));
  EXPECT_EQ(SequenceNumberOf(ReadHeader(pdu)), 0x7FFFFFFF);
  PduReader reader(pdu);
  reader.Skip(kHeaderLength);
  EXPECT_EQ(reader.ReadOctet(), 0x2A);
  EXPECT_EQ(reader.ReadShort(), 0x8102);
  const std::size_t string_start = reader.Position();
  reader.SkipCString();
  EXPECT_EQ(reader.Position(), string_start + 3);
  reader.Seek(string_start);
  EXPECT_EQ(reader.ReadCString(), "1A");
  EXPECT_EQ(reader.ReadCString(), "");
  EXPECT_EQ(reader.ReadText(2), "XY");
  EXPECT_TRUE(reader.AtEnd());
  pdu.resize(15);
  EXPECT_EQ(ErrorNumberOf([&] { ReadHeader(pdu); }), 9);
  EXPECT_EQ(ErrorNumberOf([] { SequenceNumberOf(PduHeader{16, kUnbind, 0, 0x80000000}); }), 6);
}

TEST(PduReaderTest, ReadPastTheEndThrowsAndLeavesThePosition) {
  const auto pdu = Hex("00 01 02 41 42");
  const struct {
    const char* name;
    std::size_t start;
    void (*read)(PduReader&);
  } cases[] = {
      {"octet at end", 5, [](PduReader& r) { r.ReadOctet(); }},
      {"short over end", 4, [](PduReader& r) { r.ReadShort(); }},
      {"long over end", 2, [](PduReader& r) { r.ReadLong(); }},
      {"text over end", 3, [](PduReader& r) { r.ReadText(3); }},
      {"huge count", 1, [](PduReader& r) { r.ReadOctets(SIZE_MAX); }},
      {"C-string without NUL", 3, [](PduReader& r) { r.ReadCString(); }},
      {"C-string skipped without NUL", 3, [](PduReader& r) { r.SkipCString(); }},
      {"skip over end", 2, [](PduReader& r) { r.Skip(4); }},
      {"seek past end", 2, [](PduReader& r) { r.Seek(6); }},
  };
  for (const auto& c : cases) {
    PduReader reader(pdu);
    reader.Seek(c.start);
    EXPECT_EQ(ErrorNumberOf([&] { c.read(reader); }), 9) << c.name;
    EXPECT_EQ(reader.Position(), c.start) << c.name;
  }
}

TEST(VariantTest, KindsAccessorsTextFormAndEquality) {
  const Variant bytes(std::vector<uint8_t>{0x41, 0x00, 0xFF});
  EXPECT_TRUE(Variant().IsEmpty() && Variant("").IsText() && bytes.IsBytes());
  EXPECT_EQ(ErrorNumberOf([&] { bytes.Integer(); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { Variant(5).Text(); }), 13);
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(bytes.ToText(), std::string("A\0\xFF", 3));
  EXPECT_EQ(Variant(-7).ToText(), "-7");
  EXPECT_EQ(Variant(true).Integer(), 1);
  EXPECT_NE(Variant("5"), Variant(5));
}

TEST(DateTimeTest, ZeroDateAndAddSecondsRollingOverDaysMonthsYearsAndLeapDays) {
  EXPECT_TRUE(DateTime{}.IsZero());
  EXPECT_FALSE(DateTime(1899, 12, 30, 0, 0, 1).IsZero());
  const struct {
    DateTime start;
    int64_t seconds;
    DateTime expected;
  } cases[] = {
      {{1999, 12, 31, 23, 59, 59}, 1, {2000, 1, 1}}, {{2024, 2, 28, 12}, 86400, {2024, 2, 29, 12}},
      {{2023, 2, 28, 12}, 86400, {2023, 3, 1, 12}},  {{1900, 2, 28}, 86400, {1900, 3, 1}},
      {{2000, 3, 1}, -1, {2000, 2, 29, 23, 59, 59}}, {{}, -1, {1899, 12, 29, 23, 59, 59}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.start.AddSeconds(c.seconds), c.expected)
        << c.start.ToString() << " + " << c.seconds;
  }
  // Past an int year, and past the range of int64 seconds.
  EXPECT_EQ(ErrorNumberOf([] { DateTime{}.AddSeconds(std::numeric_limits<int64_t>::max()); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { DateTime{}.AddSeconds(std::numeric_limits<int64_t>::min()); }), 6);
}

TEST(NumericTextTest, OptionalBlanksAndSignThenDigitsWithOptionalDecimals) {
  const struct {
    const char* text;
    bool numeric;
    double value;
  } cases[] = {
      {"12.0", true, 12}, {"\t7 ", true, 7}, {"-1", true, -1},  {"+.5", true, 0.5},
      {"5.", true, 5},    {"abc", false, 0}, {"", false, 0},    {"1e3", false, 0},
      {".", false, 0},    {"1 2", false, 0}, {"- 1", false, 0}, {"12a", false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNumericText(c.text), c.numeric) << '"' << c.text << '"';
    EXPECT_EQ(NumericValue(c.text).value_or(0), c.value) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace korvane
