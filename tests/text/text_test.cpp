// Text: UTF-8 to each alphabet and back byte for byte, received octets
// decoded tolerantly, long texts in parts (limits, cut points, headers),
// received parts put back together (order, duplicates, limits, expiry),
// and delivery receipts (parameters first, then the text with its quirks).
#include "korvane/text.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "support/test_util.hpp"

namespace korvane {
namespace {

using testing::Hex;
using testing::HexText;
using text::Encoding;
using text::SplitMethod;
using namespace std::chrono_literals;

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// "<hex> dc<data_coding>" and the text decoded back, or the refusal with
// its position.
TEST(Alphabets, EncodeDecodeBackOrNameTheRefusedCharacter) {
  const std::tuple<const char*, Encoding, std::string> rows[] = {
      {"¤¡ÄÖÑÜ§¿äöñüà_", Encoding::Gsm7, "24 40 5B 5C 5D 5E 5F 60 7B 7C 7D 7E 7F 11 dc0"},
      // Each extension character costs the escape and its code.
      {"€^{}[]~\\|\f", Encoding::Auto,
       "1B 65 1B 14 1B 28 1B 29 1B 3C 1B 3E 1B 3D 1B 2F 1B 40 1B 0A dc0"},
      {"Grüße, €5", Encoding::Auto, "47 72 7E 1E 65 2C 20 1B 65 35 dc0"},
      {"Привет", Encoding::Auto, "04 1F 04 40 04 38 04 32 04 35 04 42 dc8"},
      {"a\U00010000", Encoding::Ucs2, "00 61 D8 00 DC 00 dc8"},  // the first surrogate pair
      {"Grüße ÿ", Encoding::Latin1, "47 72 FC DF 65 20 FF dc3"},
      {"A~z", Encoding::Ascii, "41 7E 7A dc1"},
      {"ok €", Encoding::Latin1, "U+20AC '€' at position 4 cannot be encoded in Latin-1 @4"},
      {"Привет", Encoding::Gsm7, "U+041F 'П' at position 1 cannot be encoded in GSM 7-bit @1"},
      {"ab\xC3", Encoding::Auto, "invalid UTF-8 at byte 3: octet 0xC3 (sequence cut short) @3"},
      {"\xC0\xAF", Encoding::Ucs2, "invalid UTF-8 at byte 1: octet 0xC0 (overlong form) @1"},
      {"\xED\xA0\x80", Encoding::Ucs2,
       "invalid UTF-8 at byte 1: octet 0xED (not a Unicode scalar value) @1"},
      {"x\xFF", Encoding::Latin1, "invalid UTF-8 at byte 2: octet 0xFF (not a lead octet) @2"}};
  for (const auto& [utf8, encoding, expected] : rows) {
    try {
      const text::EncodedText encoded = text::Encode(utf8, encoding);
      EXPECT_EQ(HexText(encoded.octets) + " dc" + std::to_string(encoded.data_coding), expected);
      EXPECT_EQ(text::DecodeToUtf8(encoded.octets, encoded.data_coding), utf8);
    } catch (const text::TextError& error) {
      EXPECT_EQ(error.what() + std::string(" @") + std::to_string(error.Position()), expected);
    }
  }
}

// Received octets decode tolerantly; a message's text takes the payload
// before the short message and skips the UDH. After a six-octet UDH one fill
// bit aligns the septets; asking for more septets than the octets hold stops
// at their end.
TEST(Alphabets, Gsm7PackingAndReceivedOctets) {
  EXPECT_EQ(text::UnpackSeptets(Hex("E8 32 9B FD 46 97 D9 EC 37"), 10),
            text::EncodeGsm7("hellohello"));
  EXPECT_EQ(text::UnpackSeptets(Hex("90 69"), 2, 1), text::EncodeGsm7("Hi"));
  EXPECT_EQ(text::UnpackSeptets(Hex("E8"), 5).size(), 1u);
  const std::tuple<const char*, int, bool, const char*> received[] = {
      {"05 00 03 07 02 01 48 69", 0, true, "Hi"},
      {"06 08 04 00 07 02 01 00 48", 8, true, "H"},
      {"09 00 03", 0, true, ""},       // header longer than the body
      {"1B 41", 0, false, "A"},        // an unknown escape
      {"48 80", 0, false, "H\uFFFD"},  // not a septet
      {"48 E9", 1, false, "H\uFFFD"},  // not ASCII
      {"48 E9", 3, false, "Hé"},
      {"D8 3D 00 41", 8, false, "\uFFFDA"},  // lone surrogate
      {"00 41 00", 8, false, "A\uFFFD"}};    // odd octet
  for (const auto& [hex, data_coding, udh, utf8] : received)
    EXPECT_EQ(text::DecodeBodyToUtf8(Hex(hex), data_coding, udh), utf8) << hex;
  MessageObject message;
  message.DataCoding = SMSDataCodingSchemes::dcsUCS2;
  message.MessageType = MessageTypes::escmUDHI;
  message.ShortMessageBytes = Variant(Hex("00 4F 00 4B"));
  message.PayloadBytes = Variant(Hex("05 00 03 01 02 01 04 1F"));
  EXPECT_EQ(text::TextOf(message), "П");
}

// The octets of each part's body, header included; more than 255 parts is
// an error; binary octets use the eight-bit limits.
TEST(SplitText, PartsAtTheLimitsOfTheAlphabet) {
  const std::tuple<std::string, SplitMethod, std::vector<std::size_t>> rows[] = {
      {Repeat("a", 160), SplitMethod::Udh8, {160}},
      {Repeat("a", 161), SplitMethod::Udh8, {6 + 153, 6 + 8}},
      // The escape of the 153rd septet would end the part: it moves on.
      {Repeat("a", 152) + "€" + Repeat("a", 10), SplitMethod::Udh8, {6 + 152, 6 + 12}},
      {Repeat("П", 70), SplitMethod::Udh8, {140}},
      {Repeat("П", 71), SplitMethod::Udh8, {6 + 134, 6 + 8}},
      // A surrogate pair at the 67th unit goes whole into the next part.
      {Repeat("П", 66) + "😀" + Repeat("П", 4), SplitMethod::Udh8, {6 + 132, 6 + 12}},
      {Repeat("a", 400), SplitMethod::Payload, {400}}};
  for (const auto& [utf8, method, body_sizes] : rows) {
    std::vector<std::size_t> sizes;
    for (const MessageObject& part : text::SplitText(utf8, {.method = method}))
      sizes.push_back(text::BodyOf(part).size());
    EXPECT_EQ(sizes, body_sizes) << utf8.size() << " octets, method " << int(method);
  }
  EXPECT_EQ(text::SplitText(Repeat("a", 153 * 255), {}).size(), 255u);
  EXPECT_THROW(text::SplitText(Repeat("a", 153 * 255 + 1), {}), text::TextError);
  const auto octets = text::SplitOctets(std::vector<uint8_t>(140, 0xAB), 4, {});
  EXPECT_EQ(octets.size() * 10 + int(octets.at(0).DataCoding), 14u);
  EXPECT_EQ(text::SplitOctets(std::vector<uint8_t>(141, 1), 4, {}).size(), 2u);
}

// The parts carry reference, total and number
// in a UDH (esm_class 0x40) or in the SAR parameters; packed septets follow
// a fill bit. References count on and wrap.
TEST(SplitText, HeadersCarryReferenceTotalAndNumber) {
  // The second part: esm_class, the body's start, the parameters.
  const auto second = [](SplitMethod method, bool packed = false) {
    const auto parts =
        text::SplitText(Repeat("a", 153) + "hellohello", {Encoding::Auto, method, 0x1234, packed});
    std::string text = std::to_string(parts.size()) + " " +
                       std::to_string(int(parts[1].MessageType)) + " " +
                       HexText(text::BodyOf(parts[1]));
    for (const TLV& tlv : parts[1].TLVs)
      (text += ' ') += std::to_string(tlv.Tag) + ":" + HexText(testing::Octets(tlv.TagValue));
    return text;
  };
  const std::string hello = " 68 65 6C 6C 6F 68 65 6C 6C 6F";
  EXPECT_EQ(second(SplitMethod::Udh8), "2 64 05 00 03 34 02 02" + hello);
  EXPECT_EQ(second(SplitMethod::Udh16), "2 64 06 08 04 12 34 02 02 61" + hello);
  EXPECT_EQ(second(SplitMethod::Sar), "2 0" + hello + " 524:12 34 526:02 527:02");
  EXPECT_EQ(second(SplitMethod::Udh8, true), "2 64 05 00 03 34 02 02 D0 65 36 FB 8D 2E B3 D9 6F");
  EXPECT_EQ(HexText(text::BodyOf(text::SplitText("hellohello", {.packed = true})[0])),
            "E8 32 9B FD 46 97 D9 EC 37");
  text::ConcatenationReferences references(0xFFFF);
  EXPECT_EQ(references.Next(), 65535);
  EXPECT_EQ(references.Next(), 0);
}

// Received parts put back together.
const text::Reassembler::TimePoint kStart{};

std::vector<MessageObject> Parts(const std::string& utf8, SplitMethod method, uint16_t reference,
                                 const std::string& from = "4479") {
  MessageObject prototype;
  prototype.SourceAddress = from;
  return text::SplitText(utf8, {.method = method, .reference = reference}, prototype);
}

const std::string kLong = std::string(150, 'x') + " Grüße, €5 " + std::string(150, 'y');
const std::string kWide = "Привет, " + std::string(140, 'z') + " 😀!";

// "<complete> <total>,<numbers> <text>;" of what came back: the texts above
// by name, a short one as it is, any other by its size.
std::string Summary(const std::vector<text::AssembledMessage>& out) {
  std::string summary;
  for (const text::AssembledMessage& m : out) {
    summary += (m.complete ? "complete " : "incomplete ") + std::to_string(m.total);
    for (const int number : m.numbers) (summary += ',') += std::to_string(number);
    const std::string size = std::to_string(m.text.size());
    (summary += ' ') += (m.text == kLong     ? "long"
                         : m.text == kWide   ? "wide"
                         : m.text.size() < 6 ? m.text
                                             : size) +
                        ";";
  }
  return summary;
}

// Each set completes once with the whole text, whatever the order and
// duplicates (part numbers as they arrive, 1-based); a message that is not a
// part comes back at once. Sets of other senders and references stay apart;
// expired sets come back incomplete with their parts, and a late part starts
// a new set; the oldest set makes room when the limit is reached.
TEST(Reassembler, CompletesOnceExpiresAndEvicts) {
  text::Reassembler reassembler({.max_sets = 2, .max_age = 60s});
  std::string log;  // what each part brought back, "." for nothing
  const auto add = [&](const std::vector<MessageObject>& parts, std::vector<int> numbers, int at) {
    for (const int number : numbers) {
      const auto out = reassembler.Add(parts.at(number - 1), kStart + std::chrono::seconds(at));
      log += out.empty() ? "." : Summary(out);
    }
    log += " ";
  };
  add(Parts(kLong, SplitMethod::Udh8, 0), {3, 1, 2}, 0);
  add(Parts(kLong, SplitMethod::Udh16, 0), {2, 2, 3, 1}, 0);
  add(Parts(kWide, SplitMethod::Sar, 0), {3, 2, 3, 1}, 0);
  add(Parts("Hello", SplitMethod::Udh8, 0), {1}, 0);
  const auto parts = Parts(kLong, SplitMethod::Udh8, 3);
  add(parts, {1}, 0);
  add(Parts(kLong, SplitMethod::Udh8, 3, "2222"), {1}, 0);
  add(parts, {3}, 10);
  log += Summary(reassembler.Expire(kStart + 59s)) + "|" +
         Summary(reassembler.Expire(kStart + 60s)) + " ";
  add(parts, {2}, 61);
  add(Parts(kLong, SplitMethod::Udh8, 4), {1}, 62);
  add(Parts(kLong, SplitMethod::Udh8, 5), {1}, 63);
  EXPECT_EQ(log,
            "..complete 3,1,2,3 long; ...complete 3,1,2,3 long; ...complete 3,1,2,3 wide; "
            "complete 1,1 Hello; . . . |incomplete 3,1 153;incomplete 3,1,3 159; . . "
            "incomplete 3,2 156; ");
  EXPECT_EQ(reassembler.PendingSets(), 2u);
  EXPECT_EQ(text::ConcatenationOf(Parts(kLong, SplitMethod::Sar, 0x1234)[0])->reference, 0x1234);
}

TEST(Reassembler, ReadsOnlyWellFormedConcatenationElements) {
  // The element as reference * 10000 + total * 100 + number, 0 for none.
  const std::pair<std::vector<uint8_t>, int> rows[] = {
      {{5, 0, 3, 9, 2, 1, 'a'}, 90201},
      {{8, 0x24, 1, 1, 0, 3, 9, 2, 2}, 90202},  // after another element
      {{6, 8, 4, 1, 2, 3, 2}, 2580302},         // 16-bit reference
      {{5, 0, 3, 9, 2, 3}, 0},                  // number above total
      {{5, 0, 3, 9, 0, 0}, 0},                  // no parts
      {{5, 0, 4, 9, 2, 1}, 0},                  // runs past the header
      {{9, 0, 3, 9, 2}, 0},                     // header past the body
      {{}, 0}};
  for (const auto& [body, expected] : rows) {
    MessageObject message;
    message.MessageType = MessageTypes::escmUDHI;
    message.ShortMessageBytes = Variant(body);
    const auto part = text::ConcatenationOf(message).value_or(text::PartOf{});
    EXPECT_EQ(part.reference * 10000 + part.total * 100 + part.number, expected);
  }
}

// Delivery receipts: "id|stat|state|err|sub|dlvrd|submit date|done date|
// network error"; the text is read tolerantly, the parameters come first.
std::string Summary(const text::DeliveryReceipt& r) {
  const auto date = [](const std::optional<DateTime>& d) { return d ? d->ToString() : "-"; };
  return r.id + "|" + r.stat + "|" + std::to_string(r.state) + "|" + r.err + "|" +
         std::to_string(r.submitted) + "|" + std::to_string(r.delivered) + "|" +
         date(r.submit_date) + "|" + date(r.done_date) + "|" + std::to_string(r.network_error);
}

TEST(ParseReceipt, ReadsTheTextAndTheParameters) {
  const std::pair<const char*, const char*> rows[] = {
      {"id:MSG4 sub:001 dlvrd:001 submit date:2406011200 done date:2406011201 stat:DELIVRD err:000",
       "MSG4|DELIVRD|2|000|1|1|2024-06-01 12:00:00|2024-06-01 12:01:00|-1"},
      {"ID:0AB SUB:1 DLVRD:0 SUBMIT DATE:240601120000 DONE DATE:240601120159 STAT:undeliv ERR:null",
       "0AB|undeliv|5||1|0|2024-06-01 12:00:00|2024-06-01 12:01:59|-1"},
      {"stat:EXPIRED id:77 sub:123456789 dlvrd:1234567890 done date:2401010000",
       "77|EXPIRED|3||123456789|-1|-|2024-01-01 00:00:00|-1"},
      {"id: 12 done date:2413011200 stat:DELIVERED", "12|DELIVERED|2||-1|-1|-|-|-1"},  // month 13
      {"submit date:2401001200 done date:2401012400 stat:UNDELIVERABLE",
       "|UNDELIVERABLE|5||-1|-1|-|-|-1"}};
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(Summary(text::ParseReceiptText(text)), expected);
  EXPECT_EQ(text::ParseReceiptText("id:1 text: x y ").text, "x y ");
  MessageObject message;
  message.ShortMessage = Variant("id:111 dlvrd:001 stat:UNDELIV err:005 text:x");
  message.AddOptionalParamString(0x001E, std::string("6F\0", 3));
  message.MessageState = MessageStates::Delivered;
  message.AddOptionalParamByte(0x0423, Variant(std::vector<uint8_t>{3, 0x01, 0x02}));
  EXPECT_EQ(Summary(text::ParseReceipt(message)), "6F|UNDELIV|2|005|-1|1|-|-|258");
  // With no stat in the text the state names it.
  message = {};
  message.MessageState = static_cast<MessageStates>(8);
  EXPECT_EQ(text::ParseReceipt(message).stat, "REJECTD");
}

// Ids compare in hex and in decimal, either way round: 2 for a pair that is
// the same both ways. The last is 2^64 + 1 in hex.
TEST(ParseReceipt, ComparesIds) {
  const std::pair<const char*, const char*> ids[] = {
      {"abc123", "ABC123"}, {"0000012345", "12345"}, {"  42 ", "42"}, {"1A2B", "6699"},
      {"0", "000"},         {"1A2B", "6698"},        {"", ""},        {"10000000000000001", "1"}};
  std::string same;
  for (const auto& [a, b] : ids)
    same += std::to_string(text::SameMessageId(a, b) + text::SameMessageId(b, a));
  EXPECT_EQ(same, "22222000");
}

}  // namespace
}  // namespace korvane
