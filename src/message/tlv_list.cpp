// MessageObject: the optional-parameter list. Entries keep list order and
// duplicates; lookups take the first entry with the tag.
#include <algorithm>
#include <utility>

#include "korvane/message_object.hpp"
#include "message/message_trap.hpp"

namespace korvane {
namespace {

TLV MakeTLV(int32_t tag, std::string value) {
  const auto length = static_cast<int32_t>(value.size());
  return TLV{tag, length, std::move(value)};
}

std::string OctetText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Moves the first entry with `tag` to the end of the list with `value`.
bool ReplaceFirst(std::vector<TLV>& list, int32_t tag, std::string value) {
  const auto it = std::ranges::find(list, tag, &TLV::Tag);
  if (it == list.end()) return false;
  list.erase(it);
  list.push_back(MakeTLV(tag, std::move(value)));
  return true;
}

}  // namespace

void MessageObject::AddOptionalParamString(int32_t Tag, const std::string& TagValue) {
  message::RunTrapped("AddTLVString", [&] { TLVs.push_back(MakeTLV(Tag, TagValue)); });
}

void MessageObject::AddOptionalParamByte(int32_t Tag, const Variant& TagValue) {
  message::RunTrapped("AddTLVByte", [&] {
    if (TagValue.IsBytes()) TLVs.push_back(MakeTLV(Tag, OctetText(TagValue.Bytes())));
  });
}

void MessageObject::ClearTLVs() { TLVs.clear(); }

std::string MessageObject::GetOptionalParamStringValue(int32_t Tag) const {
  const auto it = std::ranges::find(TLVs, Tag, &TLV::Tag);
  return it == TLVs.end() ? std::string() : it->TagValue;
}

Variant MessageObject::GetOptionalParamBytesValue(int32_t Tag) const {
  const auto it = std::ranges::find(TLVs, Tag, &TLV::Tag);
  if (it == TLVs.end()) return Variant();
  return Variant(std::vector<uint8_t>(it->TagValue.begin(), it->TagValue.end()));
}

bool MessageObject::UpdateOptionalParamString(int32_t Tag, const std::string& TagValue) {
  return ReplaceFirst(TLVs, Tag, TagValue);
}

bool MessageObject::UpdateOptionalParamBytes(int32_t Tag, const Variant& TagValue) {
  if (std::ranges::find(TLVs, Tag, &TLV::Tag) == TLVs.end()) return false;
  // Bytes() raises the type mismatch before the list is touched.
  return ReplaceFirst(TLVs, Tag, OctetText(TagValue.Bytes()));
}

bool MessageObject::RemoveTLV(int32_t Tag) {
  return std::erase_if(TLVs, [Tag](const TLV& tlv) { return tlv.Tag == Tag; }) > 0;
}

}  // namespace korvane
