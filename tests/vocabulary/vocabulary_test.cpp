// The wire codec (octets, command names, sequence counter, PDU writer,
// header and reader bounds, time strings), DateTime arithmetic and numeric text: one
// row per call, its outcome as text ("error N" when it throws
// ComponentError N).
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "korvane/date_time.hpp"
#include "support/test_util.hpp"
#include "vocabulary/numeric_text.hpp"
#include "vocabulary/octets.hpp"
#include "vocabulary/pdu_reader.hpp"
#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"
#include "vocabulary/sequence_counter.hpp"
#include "vocabulary/time_strings.hpp"

namespace korvane {
namespace {

using namespace vocabulary;
using testing::Hex;
using testing::HexText;

void ExpectOutcomes(const std::vector<std::pair<std::function<std::string()>, std::string>>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string outcome;
    const int error = testing::ErrorNumberOf([&] { outcome = rows[i].first(); });
    EXPECT_EQ(error ? std::string("error ") + std::to_string(error) : outcome, rows[i].second)
        << "row " << i;
  }
}

std::string Text(const DateTime& date) { return date.ToString(); }

TEST(VocabularyTest, OctetsNamesSequenceAndTimeStrings) {
  static const auto HexOf = [](const auto& octets) {
    return HexText({octets.begin(), octets.end()});
  };
  ExpectOutcomes({
      // Integers are big-endian two's complement; an octet is 0..255.
      {[] { return HexOf(LongToOctets(0x12345678)) + " " + HexOf(LongToOctets(-1)); },
       "12 34 56 78 FF FF FF FF"},
      {[] { return HexOf(ShortToOctets(0x1234)) + " " + HexOf(ShortToOctets(0x00012345)); },
       "12 34 23 45"},
      {[] { return std::to_string(ToOctet(256)); }, "error 6"},
      {[] { return std::to_string(ToOctet(-1)); }, "error 6"},
      {[] {
         return CommandName(kDataSm) + " " + CommandName(0x80000103) + " " + CommandName(0x123);
       },
       "data_sm data_sm_resp 0x00000123"},
      // The suffix: the bias in quarter hours (3.33 rounds to 3; more digits
      // are kept whole), the sign of local time.
      {[] {
         return TimeZoneSuffixOf(-180) + TimeZoneSuffixOf(300) + TimeZoneSuffixOf(0) +
                TimeZoneSuffixOf(-50) + TimeZoneSuffixOf(-1560);
       },
       "12+20-00-03+104+"},
      // Absolute: local time, tenths 0 and the suffix; only calendar times.
      {[] { return AbsoluteTimeString(DateTime(1999, 12, 31, 23, 59, 59), "20-"); },
       "991231235959020-"},
      {[] { return AbsoluteTimeString(DateTime(2024, 2, 29), "00-"); }, "240229000000000-"},
      {[] { return AbsoluteTimeString(DateTime(2023, 2, 29), "00-"); }, "error 5"},
      {[] { return AbsoluteTimeString(DateTime(2000, 2, 29), "00-"); }, "000229000000000-"},
      {[] { return AbsoluteTimeString(DateTime(2004, 13, 1), "00-"); }, "error 5"},
      {[] { return AbsoluteTimeString(DateTime(2004, 1, 1, 24), "00-"); }, "error 5"},
      {[] { return AbsoluteTimeString(DateTime(2004, 1, 1, 0, 60), "00-"); }, "error 5"},
      {[] { return AbsoluteTimeString(DateTime(2004, 1, 1, 0, 0, -1), "00-"); }, "error 5"},
      // Relative periods past 99 hours (the encoders' vectors show the rest).
      {[] { return RelativePeriodString(100LL * 86400 - 1); }, "000099235959000R"},
      {[] { return RelativePeriodString(100LL * 86400); }, "error 6"},
  });
  // The counter starts at 4 and wraps from the maximum to 1.
  SequenceCounter counter;
  std::string next = std::to_string(counter.Next());
  counter.SetLast(0x7FFFFFFE);
  (next += ' ') += std::to_string(counter.Next());
  EXPECT_EQ(next + " " + std::to_string(counter.Next()), "4 2147483647 1");
  std::string accepted;
  for (const char* suffix : {"08+", "04-", "8+", "008+", "08*", "ab+", "", " 8+", "-8+", "1.+"})
    accepted += IsAcceptableTimeZoneSuffix(suffix) ? "y" : "n";
  EXPECT_EQ(accepted, "yynnnnnnnn");
}

// Computed and appended building give the same octets; an octet that
// overflows leaves 0 and later fields in place; a TLV that overflows writes
// nothing; a computed PDU must hold the header and be filled exactly.
TEST(VocabularyTest, PduWriter) {
  for (const bool computed : {true, false}) {
    auto w = computed ? PduWriter::Computed(27, kSubmitSm, 4) : PduWriter::Appended(kSubmitSm, 4);
    w.PutCString("a");
    w.PutOctet(255);
    ExpectOutcomes({{[&] { return w.PutOctet(256), ""; }, "error 6"},
                    {[&] { return w.PutTlv(0x1403, std::string(0x10000, 'x')), ""; }, "error 6"},
                    {[&] { return w.PutTlv(0x10000, "a"), ""; }, "error 6"}});
    w.PutTlv(0x1403, std::vector<uint8_t>{0x61, 0x62, 0x63});
    EXPECT_EQ(HexText(std::move(w).Finish()),
              "00 00 00 1B 00 00 00 04 00 00 00 00 00 00 00 04 61 00 FF 00 14 03 00 03 61 62 63");
  }
  auto query = PduWriter::Computed(18, kQuerySm, 4);
  query.PutOctet(1);
  ExpectOutcomes({
      {[&] { return query.PutShort(1), ""; }, "error 9"},
      {[&] { return std::to_string(query.Position()); }, "17"},
      {[&] { return HexText(std::move(query).Finish()); }, "error 5"},
      {[] { return PduWriter::Computed(15, kUnbind, 4), ""; }, "error 5"},
  });
}

// The header; a read past the end (each of the checks: the length asked,
// the NUL looked for, the position sought) throws 9 and leaves the position. (The
// encoders' and decoders' vectors show the writer and reader at work.)
TEST(VocabularyTest, PduReader) {
  EXPECT_EQ(ReadHeader(Hex("00 00 00 19 80 00 00 05 00 00 01 00 7F FF FF FF")),
            (PduHeader{25, kDeliverSmResp, 0x100, 0x7FFFFFFF}));
  const auto short_pdu = Hex("00 01 02 41 42");
  const std::pair<std::size_t, std::function<void(PduReader&)>> reads[] = {
      {2, [](PduReader& r) { r.ReadLong(); }},
      {1, [](PduReader& r) { r.ReadOctets(SIZE_MAX); }},
      {3, [](PduReader& r) { r.SkipCString(); }},  // no NUL
      {2, [](PduReader& r) { r.Skip(4); }},
      {2, [](PduReader& r) { r.Seek(6); }}};
  for (const auto& [start, read] : reads) {
    PduReader r(short_pdu);
    r.Seek(start);
    EXPECT_EQ(testing::ErrorNumberOf([&, &read = read] { read(r); }), 9) << start;
    EXPECT_EQ(r.Position(), start);
  }
}

TEST(VocabularyTest, DateTimeAndNumericText) {
  const int64_t kMax = std::numeric_limits<int64_t>::max();
  ExpectOutcomes({
      // AddSeconds rolls over days, months, years and leap days.
      {[] { return Text(DateTime(1999, 12, 31, 23, 59, 59).AddSeconds(1)); }, Text({2000, 1, 1})},
      {[] { return Text(DateTime(2024, 2, 28, 12).AddSeconds(86400)); }, Text({2024, 2, 29, 12})},
      {[] { return Text(DateTime(1900, 2, 28).AddSeconds(86400)); }, Text({1900, 3, 1})},
      {[] { return Text(DateTime(2000, 3, 1).AddSeconds(-1)); }, Text({2000, 2, 29, 23, 59, 59})},
      {[] { return Text(DateTime().AddSeconds(-1)); }, Text({1899, 12, 29, 23, 59, 59})},
      {[=] { return Text(DateTime().AddSeconds(kMax)); }, "error 6"},  // past an int year
      {[=] { return Text(DateTime().AddSeconds(-kMax - 1)); }, "error 6"},
  });
  // Optional blanks and sign, then digits with optional decimals.
  const std::pair<const char*, double> numbers[] = {
      {"12.0", 12}, {"\t7 ", 7},  {"-1", -1}, {"+.5", 0.5}, {"5.", 5},    {"abc", -99},
      {"", -99},    {"1e3", -99}, {".", -99}, {"1 2", -99}, {"- 1", -99}, {"12a", -99}};
  for (const auto& [text, value] : numbers)
    EXPECT_EQ(NumericValue(text).value_or(-99), value) << '"' << text << '"';
}

}  // namespace
}  // namespace korvane
