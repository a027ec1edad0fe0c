// Delivery receipts: parameters first, then the text with its usual quirks.
#include <gtest/gtest.h>

#include <tuple>

#include "korvane/text.hpp"

namespace korvane {
namespace {

TEST(ParseReceipt, ReadsTheTextTolerantly) {
  const struct {
    const char* text;
    const char* id;
    const char* stat;
    int state;
    const char* err;
    int submitted;
    int delivered;
    std::optional<DateTime> done;
  } rows[] = {
      {"id:MSG4 sub:001 dlvrd:001 submit date:2406011200 done date:2406011201 stat:DELIVRD "
       "err:000 text:Hello there",
       "MSG4", "DELIVRD", 2, "000", 1, 1, DateTime(2024, 6, 1, 12, 1)},
      {"ID:0000ABCD SUB:1 DLVRD:0 SUBMIT DATE:240601120000 DONE DATE:240601120159 STAT:undeliv "
       "ERR:null TEXT:",
       "0000ABCD", "undeliv", 5, "", 1, 0, DateTime(2024, 6, 1, 12, 1, 59)},
      {"stat:EXPIRED id:77", "77", "EXPIRED", 3, "", -1, -1, std::nullopt},
      {"id: 12 done date:2413011200 stat:DELIVERED", "12", "DELIVERED", 2, "", -1, -1,
       std::nullopt},  // month 13
      {"nothing of a receipt", "", "", 0, "", -1, -1, std::nullopt}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const text::DeliveryReceipt receipt = text::ParseReceiptText(row.text);
    EXPECT_EQ(receipt.id, row.id);
    EXPECT_EQ(receipt.stat, row.stat);
    EXPECT_EQ(receipt.state, row.state);
    EXPECT_EQ(receipt.err, row.err);
    EXPECT_EQ(receipt.submitted, row.submitted);
    EXPECT_EQ(receipt.delivered, row.delivered);
    EXPECT_EQ(receipt.done_date, row.done);
  }
}

TEST(ParseReceipt, ParametersComeBeforeTheText) {
  MessageObject message;
  message.MessageType = MessageTypes::escmSMSCDeliveryReceipt;
  message.ShortMessage = Variant(
      "id:111 sub:001 dlvrd:001 submit date:2406011200 done "
      "date:2406011201 stat:UNDELIV err:005 text:x");
  message.AddOptionalParamString(0x001E, std::string("6F\0", 3));
  message.MessageState = MessageStates::Delivered;
  message.AddOptionalParamByte(0x0423, Variant(std::vector<uint8_t>{3, 0x01, 0x02}));
  const text::DeliveryReceipt receipt = text::ParseReceipt(message);
  EXPECT_EQ(receipt.id, "6F");
  EXPECT_EQ(receipt.state, 2);
  EXPECT_EQ(receipt.stat, "UNDELIV");  // the text says so; the state is the parameter's
  EXPECT_EQ(receipt.err, "005");
  EXPECT_EQ(receipt.network_error, 0x0102);
  EXPECT_EQ(receipt.submit_date, DateTime(2024, 6, 1, 12, 0));
}

TEST(ParseReceipt, NamesTheStateWhenTheTextHasNoStatAndComparesIds) {
  MessageObject message;
  message.MessageState = static_cast<MessageStates>(8);
  EXPECT_EQ(text::ParseReceipt(message).stat, "REJECTD");
  // Ids compare in hex and in decimal, either way round.
  const std::tuple<const char*, const char*, bool> ids[] = {
      {"abc123", "ABC123", true},       {"0000012345", "12345", true},
      {"  42\0", "42", true},           {"1A2B", "6699", true},
      {"00001a2b", "0000006699", true}, {"MSG4", "MSG5", false},
      {"1A2B", "6698", false},          {"", "", false},
      {"10000000000000001", "1", false}};  // 2^64 + 1 in hex would wrap to 1
  for (const auto& [a, b, same] : ids) {
    EXPECT_EQ(text::SameMessageId(a, b), same) << a << " vs " << b;
    EXPECT_EQ(text::SameMessageId(b, a), same) << b << " vs " << a;
  }
}

}  // namespace
}  // namespace korvane
