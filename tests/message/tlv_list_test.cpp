#include <gtest/gtest.h>

#include <vector>

#include "korvane/errors.hpp"
#include "korvane/message_object.hpp"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int32_t> Tags(const MessageObject& m) {
  std::vector<int32_t> tags;
  for (const TLV& tlv : m.TLVs) tags.push_back(tlv.Tag);
  return tags;
}

TEST(TlvListTest, DuplicatesAreKeptAndLookupsTakeTheFirst) {
  MessageObject m;
  m.AddOptionalParamString(0x1403, "abc");
  m.AddOptionalParamString(0x1403, "second");
  EXPECT_EQ(m.TLVs[0].TagLength, 3);
  EXPECT_EQ(m.GetOptionalParamStringValue(0x1403), "abc");
  EXPECT_EQ(m.GetOptionalParamStringValue(0x0204), "");
  EXPECT_TRUE(m.GetOptionalParamBytesValue(0x0204).IsEmpty());
}

TEST(TlvListTest, BytesRoundTripEmptyValueGivesAnEmptyArrayNonBytesAreIgnored) {
  MessageObject m;
  m.AddOptionalParamByte(0x0201, Bytes{0x00, 0xFF});
  m.AddOptionalParamString(0x0202, "");
  for (const Variant& not_bytes : {Variant("text"), Variant(5), Variant()}) {
    m.AddOptionalParamByte(0x0203, not_bytes);
  }
  EXPECT_EQ(m.TLVs.size(), 2u);
  EXPECT_EQ(m.TLVs[0].TagLength, 2);
  EXPECT_EQ(m.TLVs[0].TagValue, std::string("\x00\xFF", 2));
  EXPECT_EQ(m.GetOptionalParamBytesValue(0x0201), Variant(Bytes{0x00, 0xFF}));
  EXPECT_EQ(m.GetOptionalParamBytesValue(0x0202), Variant(Bytes{}));
}

TEST(TlvListTest, UpdateMovesTheEntryToTheEndAndNeverAdds) {
  MessageObject m;
  for (int32_t tag : {1, 2, 3}) m.AddOptionalParamString(tag, "v");
  EXPECT_TRUE(m.UpdateOptionalParamString(1, "new A"));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{2, 3, 1}));
  EXPECT_EQ(m.TLVs.back().TagLength, 5);
  EXPECT_TRUE(m.UpdateOptionalParamBytes(2, Bytes{7}));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_FALSE(m.UpdateOptionalParamString(9, "x"));
  EXPECT_FALSE(m.UpdateOptionalParamBytes(9, Bytes{1}));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{3, 1, 2}));
}

TEST(TlvListTest, UpdateBytesWithANonByteValueFailsAndKeepsTheEntry) {
  MessageObject m;
  m.AddOptionalParamString(1, "A");
  m.AddOptionalParamString(2, "B");
  try {
    m.UpdateOptionalParamBytes(1, Variant("text"));
    FAIL() << "no error raised";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.Number(), 13);
    EXPECT_EQ(e.Description(), "Type mismatch");
  }
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(m.GetOptionalParamStringValue(1), "A");
}

TEST(TlvListTest, RemoveTLVRemovesEveryEntryWithTheTag) {
  MessageObject m;
  EXPECT_FALSE(m.RemoveTLV(1));
  for (int32_t tag : {1, 2, 3, 2}) m.AddOptionalParamString(tag, "v");
  EXPECT_TRUE(m.RemoveTLV(2));
  EXPECT_EQ(Tags(m), (std::vector<int32_t>{1, 3}));
  EXPECT_FALSE(m.RemoveTLV(2));
}

}  // namespace
}  // namespace korvane
