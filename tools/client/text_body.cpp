#include "text_body.hpp"

#include <map>
#include <stdexcept>

#include "korvane/text.hpp"

namespace korvane::client {
namespace {

const std::map<std::string, text::Encoding> kEncodings{{"auto", text::Encoding::Auto},
                                                       {"gsm7", text::Encoding::Gsm7},
                                                       {"latin1", text::Encoding::Latin1},
                                                       {"ucs2", text::Encoding::Ucs2}};

}  // namespace

TextBody EncodeTextBody(const std::string& utf8, const std::string& encoding, int coding) {
  text::Encoding chosen = kEncodings.at(encoding);
  if (coding >= 0) {
    const auto for_coding = text::EncodingOfDataCoding(coding);
    if (!for_coding)
      throw std::invalid_argument("--text cannot be encoded for --coding " +
                                  std::to_string(coding) +
                                  " (text codings: 0 GSM, 1 ASCII, 3 Latin-1, 8 UCS-2); give the "
                                  "body with --hex");
    if (chosen != text::Encoding::Auto && chosen != *for_coding)
      throw std::invalid_argument("--encoding " + encoding + " does not match --coding " +
                                  std::to_string(coding) + ": give one of them");
    chosen = *for_coding;
  }
  try {
    text::EncodedText encoded = text::Encode(utf8, chosen);
    return {std::move(encoded.octets), encoded.data_coding};
  } catch (const text::TextError& error) {
    throw std::invalid_argument("--text: " + std::string(error.what()));
  }
}

}  // namespace korvane::client
