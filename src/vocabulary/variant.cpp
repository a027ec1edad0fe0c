#include "korvane/variant.hpp"

#include "korvane/errors.hpp"

namespace korvane {
namespace {

[[noreturn]] void ThrowTypeMismatch() { throw ComponentError(13, "Type mismatch"); }

}  // namespace

const std::string& Variant::Text() const {
  if (!IsText()) ThrowTypeMismatch();
  return std::get<std::string>(value_);
}

const std::vector<uint8_t>& Variant::Bytes() const {
  if (!IsBytes()) ThrowTypeMismatch();
  return std::get<std::vector<uint8_t>>(value_);
}

int64_t Variant::Integer() const {
  if (!IsInteger()) ThrowTypeMismatch();
  return std::get<int64_t>(value_);
}

std::string Variant::ToText() const {
  switch (value_.index()) {
    case 1:
      return std::get<std::string>(value_);
    case 2: {
      const auto& bytes = std::get<std::vector<uint8_t>>(value_);
      return std::string(bytes.begin(), bytes.end());
    }
    case 3:
      return std::to_string(std::get<int64_t>(value_));
    default:
      return {};
  }
}

}  // namespace korvane
