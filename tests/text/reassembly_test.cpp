// Received parts put back together: order, duplicates, limits, expiry.
#include <gtest/gtest.h>

#include "korvane/text.hpp"
#include "support/test_util.hpp"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using text::SplitMethod;
using Clock = text::Reassembler::TimePoint;

const Clock kStart{};

std::vector<MessageObject> Parts(const std::string& utf8, SplitMethod method, uint16_t reference,
                                 const std::string& from = "4479") {
  MessageObject prototype;
  prototype.SourceAddress = from;
  prototype.DestAddress = "12345";
  text::SplitOptions options;
  options.method = method;
  options.reference = reference;
  return text::SplitText(utf8, options, prototype);
}

const std::string kLong = std::string(150, 'x') + " Grüße, €5 " + std::string(150, 'y');
const std::string kWide = "Привет, " + std::string(140, 'z') + " 😀!";

// Each set completes once with the whole text, whatever the order and
// duplicates (part numbers as they arrive, 1-based).
TEST(Reassembler, CompletesOnceWithTheWholeText) {
  const struct {
    SplitMethod method;
    const std::string& text;
    std::vector<int> order;
  } rows[] = {{SplitMethod::Udh8, kLong, {1, 2, 3}},     {SplitMethod::Udh8, kLong, {3, 1, 2}},
              {SplitMethod::Udh16, kLong, {2, 2, 3, 1}}, {SplitMethod::Sar, kLong, {3, 2, 3, 1}},
              {SplitMethod::Udh8, kWide, {3, 2, 1}},     {SplitMethod::Sar, kWide, {1, 3, 2}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.method));
    const auto parts = Parts(row.text, row.method, 0);
    text::Reassembler reassembler;
    std::vector<text::AssembledMessage> done;
    for (const int number : row.order) {
      auto out = reassembler.Add(parts[static_cast<std::size_t>(number - 1)], kStart);
      done.insert(done.end(), out.begin(), out.end());
    }
    ASSERT_EQ(done.size(), 1u);
    EXPECT_TRUE(done[0].complete);
    EXPECT_EQ(done[0].text, row.text);
    EXPECT_EQ(done[0].total, static_cast<int>(parts.size()));
    EXPECT_EQ(reassembler.PendingSets(), 0u);
  }
  // A message that is not a part comes back at once.
  const auto out = text::Reassembler().Add(Parts("Hello", SplitMethod::Udh8, 0)[0], kStart);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].complete);
  EXPECT_EQ(out[0].text, "Hello");
}

TEST(Reassembler, KeepsSetsOfOtherSendersAndReferencesApart) {
  text::Reassembler reassembler;
  const auto a = Parts(kLong, SplitMethod::Udh8, 7, "1111");
  const auto b = Parts(kLong, SplitMethod::Udh8, 7, "2222");
  const auto c = Parts(kLong, SplitMethod::Udh8, 8, "1111");
  for (const auto* set : {&a, &b, &c}) EXPECT_TRUE(reassembler.Add((*set)[0], kStart).empty());
  EXPECT_EQ(reassembler.PendingSets(), 3u);
}

TEST(Reassembler, AnExpiredSetComesBackIncompleteWithItsParts) {
  text::Reassembler reassembler({.max_sets = 10, .max_age = 60s});
  const auto parts = Parts(kLong, SplitMethod::Udh8, 3);
  EXPECT_TRUE(reassembler.Add(parts[0], kStart).empty());
  EXPECT_TRUE(reassembler.Add(parts[2], kStart + 10s).empty());
  EXPECT_TRUE(reassembler.Expire(kStart + 59s).empty());
  const auto expired = reassembler.Expire(kStart + 60s);
  ASSERT_EQ(expired.size(), 1u);
  EXPECT_FALSE(expired[0].complete);
  EXPECT_EQ(expired[0].numbers, (std::vector<int>{1, 3}));
  EXPECT_EQ(expired[0].parts.size(), 2u);
  EXPECT_EQ(expired[0].text.substr(0, 150), std::string(150, 'x'));
  EXPECT_EQ(reassembler.PendingSets(), 0u);
  // A late part starts a new set rather than vanishing.
  EXPECT_TRUE(reassembler.Add(parts[1], kStart + 61s).empty());
  EXPECT_EQ(reassembler.TakeAll().size(), 1u);
}

TEST(Reassembler, TheOldestSetMakesRoomWhenTheLimitIsReached) {
  text::Reassembler reassembler({.max_sets = 2, .max_age = 600s});
  for (uint16_t reference = 1; reference <= 2; ++reference)
    reassembler.Add(Parts(kLong, SplitMethod::Udh8, reference)[0], kStart + 1s * reference);
  const auto evicted = reassembler.Add(Parts(kLong, SplitMethod::Udh8, 3)[0], kStart + 5s);
  ASSERT_EQ(evicted.size(), 1u);
  EXPECT_FALSE(evicted[0].complete);
  EXPECT_EQ(text::ConcatenationOf(evicted[0].parts[0])->reference, 1);
  EXPECT_EQ(reassembler.PendingSets(), 2u);
}

TEST(Reassembler, ReadsOnlyWellFormedConcatenationElements) {
  const std::pair<std::vector<uint8_t>, bool> rows[] = {
      {{5, 0, 3, 9, 2, 1, 'a'}, true},
      {{8, 0x24, 1, 1, 0, 3, 9, 2, 2}, true},  // after another element
      {{5, 0, 3, 9, 2, 3}, false},             // number above total
      {{5, 0, 3, 9, 0, 0}, false},             // no parts
      {{5, 0, 4, 9, 2, 1}, false},             // runs past the header
      {{9, 0, 3, 9, 2}, false},                // header past the body
      {{}, false}};
  for (const auto& [body, concatenated] : rows) {
    MessageObject message;
    message.MessageType = MessageTypes::escmUDHI;
    message.ShortMessageBytes = Variant(body);
    EXPECT_EQ(text::ConcatenationOf(message).has_value(), concatenated) << testing::HexText(body);
  }
}

}  // namespace
}  // namespace korvane
