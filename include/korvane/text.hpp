// Text for short messages: UTF-8 to and from the SMS alphabets, long texts
// split into concatenated parts, received parts put back together, and
// delivery receipts taken apart. Pure functions and plain values: nothing
// here holds session state, reads a clock or does I/O. SMPP::SendMessage
// sends the octets a message holds; this layer only prepares them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "korvane/date_time.hpp"
#include "korvane/export.hpp"
#include "korvane/message_object.hpp"

namespace korvane::text {

// A character the chosen alphabet cannot hold, or input that is not UTF-8.
// Nothing is ever replaced by '?': the whole operation fails instead.
class KORVANE_SMPP_API TextError : public std::runtime_error {
 public:
  TextError(const std::string& what, std::size_t position, char32_t code_point)
      : std::runtime_error(what), position_(position), code_point_(code_point) {}
  // 1-based character position in the text (for invalid UTF-8: the octet's
  // 1-based offset); 0 when the error is not about one character.
  std::size_t Position() const { return position_; }
  // The offending character; for invalid UTF-8, the offending octet.
  char32_t CodePoint() const { return code_point_; }

 private:
  std::size_t position_;
  char32_t code_point_;
};

// The alphabets, by their data_coding value.
enum class Encoding {
  Auto = -1,   // GSM 7-bit when every character fits, else UCS-2
  Gsm7 = 0,    // GSM 03.38 default alphabet with its extension table
  Ascii = 1,   // IA5 / ASCII
  Latin1 = 3,  // ISO-8859-1
  Ucs2 = 8,    // UTF-16BE, surrogate pairs above U+FFFF
};

// The alphabet of a data_coding value, or nothing for one this layer does
// not encode text in (binary and the rest).
KORVANE_SMPP_API std::optional<Encoding> EncodingOfDataCoding(int data_coding);

// "U+00E9 'é'": a character named for an error message.
KORVANE_SMPP_API std::string DescribeCharacter(char32_t code_point);

// UTF-8 to code points; throws TextError for invalid UTF-8 (overlong forms,
// surrogates, values above U+10FFFF, truncated sequences).
KORVANE_SMPP_API std::u32string CodePointsOf(std::string_view utf8);
KORVANE_SMPP_API std::string Utf8Of(std::u32string_view code_points);

// Whether every character has a GSM 7-bit code (default or extension).
KORVANE_SMPP_API bool FitsGsm7(std::string_view utf8);
// One septet per octet, an extension character as 0x1B and its code.
KORVANE_SMPP_API std::vector<uint8_t> EncodeGsm7(std::string_view utf8);
KORVANE_SMPP_API std::vector<uint8_t> EncodeAscii(std::string_view utf8);
KORVANE_SMPP_API std::vector<uint8_t> EncodeLatin1(std::string_view utf8);
KORVANE_SMPP_API std::vector<uint8_t> EncodeUcs2(std::string_view utf8);

struct EncodedText {
  std::vector<uint8_t> octets;  // GSM 7-bit: unpacked, one septet per octet
  Encoding encoding = Encoding::Gsm7;
  int data_coding = 0;
};
KORVANE_SMPP_API EncodedText Encode(std::string_view utf8, Encoding encoding = Encoding::Auto);

// Septets packed into octets, low bits first, after `fill_bits` zero bits
// (the fill that aligns the septets after a user data header).
KORVANE_SMPP_API std::vector<uint8_t> PackSeptets(std::span<const uint8_t> septets,
                                                  int fill_bits = 0);
// The reverse: `count` septets from packed octets (fewer when they run out).
KORVANE_SMPP_API std::vector<uint8_t> UnpackSeptets(std::span<const uint8_t> packed,
                                                    std::size_t count, int fill_bits = 0);

// Octets to UTF-8 by data_coding: 0 GSM 7-bit unpacked, 1 ASCII, 3 Latin-1,
// 8 UTF-16BE; any other value takes each octet as a Latin-1 character.
// Tolerant: an octet without a meaning becomes U+FFFD.
KORVANE_SMPP_API std::string DecodeToUtf8(std::span<const uint8_t> octets, int data_coding);
// The same for a body that may start with a user data header, which is
// skipped (a header longer than the body leaves nothing).
KORVANE_SMPP_API std::string DecodeBodyToUtf8(std::span<const uint8_t> body, int data_coding,
                                              bool has_udh);
// The body of a message: message_payload when it holds octets, else
// short_message (bytes, or the text one octet per character).
KORVANE_SMPP_API std::vector<uint8_t> BodyOf(const MessageObject& message);
// The message's body decoded by its data_coding, its UDH (esm_class 0x40)
// skipped.
KORVANE_SMPP_API std::string TextOf(const MessageObject& message);

// How a long text is split.
enum class SplitMethod {
  Udh8,     // user data header, IEI 0x00, 8-bit reference
  Udh16,    // user data header, IEI 0x08, 16-bit reference
  Sar,      // sar_msg_ref_num, sar_total_segments, sar_segment_seqnum
  Payload,  // the whole text in one message_payload
};

struct SplitOptions {
  Encoding encoding = Encoding::Auto;
  SplitMethod method = SplitMethod::Udh8;
  uint16_t reference = 0;  // the 8-bit methods use its low octet
  bool packed = false;     // GSM 7-bit packed (with fill bits after a UDH)
};

// Concatenation references, one counter per session or destination: the
// host keeps it, the text layer does not.
class KORVANE_SMPP_API ConcatenationReferences {
 public:
  explicit ConcatenationReferences(uint16_t first = 1) : next_(first) {}
  uint16_t Next() { return next_++; }

 private:
  uint16_t next_;
};

// The text as messages ready for SendMessage: copies of `prototype` with the
// body, data coding, esm_class (UDHI 0x40 with a UDH) and SAR parameters
// set. A text that fits one message gives one message without a UDH.
// Throws TextError for a character the alphabet lacks and when more than
// 255 parts would be needed. An escape sequence or a surrogate pair is
// never cut.
KORVANE_SMPP_API std::vector<MessageObject> SplitText(
    std::string_view utf8, const SplitOptions& options,
    const MessageObject& prototype = MessageObject());
// The same for octets already encoded for `data_coding` (0 and 1 as
// unpacked septets, 8 as UTF-16BE, others as 8-bit data).
KORVANE_SMPP_API std::vector<MessageObject> SplitOctets(
    std::span<const uint8_t> octets, int data_coding, const SplitOptions& options,
    const MessageObject& prototype = MessageObject());

// Where a received part belongs.
struct PartOf {
  uint16_t reference = 0;
  int total = 0;   // 1 to 255
  int number = 0;  // 1 to total
};
// The concatenation data of a message (UDH IEI 0x00 or 0x08, else the SAR
// parameters), or nothing for a message that is not a part.
KORVANE_SMPP_API std::optional<PartOf> ConcatenationOf(const MessageObject& message);

// A received message: whole, or a set of parts that expired or was evicted
// before every part came (then only the parts that came).
struct AssembledMessage {
  bool complete = true;
  int total = 1;
  std::vector<MessageObject> parts;  // by part number
  std::vector<int> numbers;          // the part number of each entry
  std::string text;                  // the parts' bodies decoded as one
};

// Puts received parts back together: both UDH forms and SAR, any order,
// duplicates ignored, keyed by source, destination, reference and total.
// Holds at most `max_sets` unfinished sets, each at most `max_age`; a set
// pushed out by either is handed back as incomplete, never dropped. Time
// is the caller's: any monotonic clock.
class KORVANE_SMPP_API Reassembler {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Limits {
    std::size_t max_sets = 256;
    std::chrono::seconds max_age{600};
  };

  Reassembler() : Reassembler(Limits{}) {}
  explicit Reassembler(Limits limits) : limits_(limits) {}

  // What `message` completes (itself, when not a part), after any sets
  // that expired by `now` or were evicted to make room.
  std::vector<AssembledMessage> Add(const MessageObject& message, TimePoint now);
  // The sets older than max_age at `now`, as incomplete messages.
  std::vector<AssembledMessage> Expire(TimePoint now);
  // Every unfinished set, as incomplete messages (on shutdown).
  std::vector<AssembledMessage> TakeAll();
  std::size_t PendingSets() const { return sets_.size(); }

 private:
  using Key = std::tuple<std::string, std::string, uint16_t, int>;
  struct Set {
    TimePoint started;
    std::vector<std::optional<MessageObject>> parts;
    int received = 0;
  };
  static AssembledMessage Assemble(Set& set);

  Limits limits_;
  std::map<Key, Set> sets_;
};

// A delivery receipt's fields: the optional parameters first
// (receipted_message_id, message_state, network_error_code), then the text
// "id:... sub:... dlvrd:... submit date:... done date:... stat:... err:...
// text:...". Missing fields stay empty / -1 / nothing.
struct DeliveryReceipt {
  std::string id;
  std::string stat;        // "DELIVRD", ... (from the text, else named from the state)
  int state = 0;           // message_state (1 ENROUTE .. 8 REJECTED), 0 unknown
  std::string err;         // the text's err, "" when missing or null
  int network_error = -1;  // network_error_code's error value, -1 when absent
  int submitted = -1;      // sub
  int delivered = -1;      // dlvrd
  std::string submit_date_text;
  std::string done_date_text;
  std::optional<DateTime> submit_date;  // from 10 or 12 digits, YYMMDDhhmm[ss]
  std::optional<DateTime> done_date;
  std::string text;  // the text: field, to the end
};

// Reads the text form alone; any case, fields in any order or missing.
KORVANE_SMPP_API DeliveryReceipt ParseReceiptText(std::string_view text);
// Reads the parameters of a received message, then its text.
KORVANE_SMPP_API DeliveryReceipt ParseReceipt(const MessageObject& message);
// "DELIVRD" for 2, ...; "" for a value without a name.
KORVANE_SMPP_API std::string ReceiptStatName(int state);
// Whether two message ids name the same message: equal ignoring case,
// padding and leading zeros, or one in hexadecimal and the other in
// decimal.
KORVANE_SMPP_API bool SameMessageId(std::string_view a, std::string_view b);

}  // namespace korvane::text
