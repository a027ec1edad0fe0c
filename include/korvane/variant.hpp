// Variant: the loosely typed value of the object model. It is empty, a text,
// an array of bytes, or a 64-bit integer.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "korvane/export.hpp"

namespace korvane {

class KORVANE_SMPP_API Variant {
 public:
  Variant() = default;
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::vector<uint8_t> bytes) : value_(std::move(bytes)) {}
  // Every integral type, bool included (true is 1, false is 0).
  template <std::integral T>
  Variant(T number) : value_(static_cast<int64_t>(number)) {}

  bool IsEmpty() const { return value_.index() == 0; }
  bool IsText() const { return value_.index() == 1; }
  bool IsBytes() const { return value_.index() == 2; }
  bool IsInteger() const { return value_.index() == 3; }

  // Typed access; asking for the wrong kind throws ComponentError 13.
  const std::string& Text() const;
  const std::vector<uint8_t>& Bytes() const;
  int64_t Integer() const;

  // The text form: bytes as raw octets, integers in decimal, empty as "".
  std::string ToText() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, std::string, std::vector<uint8_t>, int64_t> value_;
};

}  // namespace korvane
