// Long texts as concatenated parts: the limits per alphabet and method, the
// cut points that keep escapes and surrogate pairs whole, and the user data
// header or SAR parameters of each part.
#include "text/alphabets.hpp"

namespace korvane::text {
namespace {

constexpr int kUdhi = 0x40;
constexpr int kMaxParts = 255;
constexpr int32_t kTagSarMsgRefNum = 0x020C;
constexpr int32_t kTagSarTotalSegments = 0x020E;
constexpr int32_t kTagSarSegmentSeqnum = 0x020F;

enum class Unit { Septet, Octet, Utf16 };

Unit UnitOf(int data_coding) {
  if (data_coding == 0 || data_coding == 1) return Unit::Septet;
  return data_coding == 8 ? Unit::Utf16 : Unit::Octet;
}

// Capacity in unpacked octets: whole message, part with an 8-bit
// reference, part with a 16-bit reference.
struct Capacity {
  std::size_t whole, part8, part16;
};

Capacity CapacityOf(Unit unit) {
  switch (unit) {
    case Unit::Septet:
      return {160, 153, 152};
    case Unit::Utf16:
      return {140, 134, 132};  // 70, 67 and 66 UTF-16 units
    default:
      return {140, 134, 133};
  }
}

// Whether a part may end before octet `at`.
bool CanCutBefore(std::span<const uint8_t> octets, std::size_t at, Unit unit) {
  switch (unit) {
    case Unit::Septet:
      return octets[at - 1] != detail::kGsmEscape;
    case Unit::Utf16:
      return at % 2 == 0 && !(octets[at - 2] >= 0xD8 && octets[at - 2] <= 0xDB);
    default:
      return true;
  }
}

std::vector<std::span<const uint8_t>> Cut(std::span<const uint8_t> octets, std::size_t size,
                                          Unit unit) {
  std::vector<std::span<const uint8_t>> pieces;
  std::size_t start = 0;
  while (start < octets.size()) {
    std::size_t end = std::min(start + size, octets.size());
    while (end < octets.size() && !CanCutBefore(octets, end, unit)) --end;
    pieces.push_back(octets.subspan(start, end - start));
    start = end;
    if (pieces.size() > static_cast<std::size_t>(kMaxParts)) {
      throw TextError("the text needs more than 255 parts (" + std::to_string(octets.size()) +
                          " octets at " + std::to_string(size) + " a part)",
                      0, 0);
    }
  }
  return pieces;
}

std::vector<uint8_t> UserDataHeader(SplitMethod method, uint16_t reference, int total, int number) {
  const auto octet = [](auto value) { return static_cast<uint8_t>(value); };
  if (method == SplitMethod::Udh16)
    return {0x06, 0x08, 0x04, octet(reference >> 8), octet(reference), octet(total), octet(number)};
  return {0x05, 0x00, 0x03, octet(reference), octet(total), octet(number)};
}

// The body octets of one piece: the header (if any), then the piece, packed
// after fill bits when asked.
std::vector<uint8_t> BodyOfPiece(std::vector<uint8_t> header, std::span<const uint8_t> piece,
                                 bool packed) {
  if (!packed) {
    header.insert(header.end(), piece.begin(), piece.end());
    return header;
  }
  const int header_bits = static_cast<int>(header.size()) * 8;
  const int fill_bits = (7 - header_bits % 7) % 7;
  const std::vector<uint8_t> septets = PackSeptets(piece, fill_bits);
  header.insert(header.end(), septets.begin(), septets.end());
  return header;
}

MessageObject WithBody(const MessageObject& prototype, std::vector<uint8_t> body, int data_coding,
                       bool in_payload) {
  MessageObject message = prototype;
  message.DataCoding = static_cast<SMSDataCodingSchemes>(data_coding);
  if (in_payload) {
    message.Payload = Variant(std::move(body));
    message.ShortMessage = Variant();
  } else {
    message.ShortMessage = Variant(std::move(body));
  }
  return message;
}

}  // namespace

std::vector<MessageObject> SplitOctets(std::span<const uint8_t> octets, int data_coding,
                                       const SplitOptions& options,
                                       const MessageObject& prototype) {
  const Unit unit = UnitOf(data_coding);
  const bool packed = options.packed && unit == Unit::Septet;
  const Capacity capacity = CapacityOf(unit);
  if (octets.size() <= capacity.whole || options.method == SplitMethod::Payload) {
    const bool in_payload = octets.size() > capacity.whole;
    return {WithBody(prototype, BodyOfPiece({}, octets, packed), data_coding, in_payload)};
  }
  const bool udh = options.method != SplitMethod::Sar;
  const std::size_t size = options.method == SplitMethod::Udh16 ? capacity.part16 : capacity.part8;
  const auto pieces = Cut(octets, size, unit);
  const int total = static_cast<int>(pieces.size());
  std::vector<MessageObject> parts;
  parts.reserve(pieces.size());
  for (int number = 1; number <= total; ++number) {
    const auto piece = pieces[static_cast<std::size_t>(number - 1)];
    std::vector<uint8_t> header;
    if (udh) header = UserDataHeader(options.method, options.reference, total, number);
    MessageObject part =
        WithBody(prototype, BodyOfPiece(std::move(header), piece, packed), data_coding, false);
    if (udh) {
      part.MessageType =
          static_cast<MessageTypes>(static_cast<int32_t>(prototype.MessageType) | kUdhi);
    } else {
      const auto octet = [](auto value) { return static_cast<uint8_t>(value); };
      part.AddOptionalParamByte(
          kTagSarMsgRefNum,
          Variant(std::vector<uint8_t>{octet(options.reference >> 8), octet(options.reference)}));
      part.AddOptionalParamByte(kTagSarTotalSegments, Variant(std::vector<uint8_t>{octet(total)}));
      part.AddOptionalParamByte(kTagSarSegmentSeqnum, Variant(std::vector<uint8_t>{octet(number)}));
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

std::vector<MessageObject> SplitText(std::string_view utf8, const SplitOptions& options,
                                     const MessageObject& prototype) {
  const EncodedText encoded = Encode(utf8, options.encoding);
  return SplitOctets(encoded.octets, encoded.data_coding, options, prototype);
}

}  // namespace korvane::text
