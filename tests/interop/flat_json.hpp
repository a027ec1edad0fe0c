// The line format between the tests and the npm peer: one flat JSON object
// per line whose values are all strings (the peer flattens what it decodes).
// Commands to the peer are built as JSON text by the tests themselves.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::testing {

using FlatObject = std::map<std::string, std::string>;

// {"a":"1","b":"x"} -> {a: 1, b: x}; nothing for anything else (a nested
// value, a number, a syntax error).
std::optional<FlatObject> ParseFlatObject(const std::string& line);

// The value under `key`, or the empty text.
inline std::string ValueOf(const FlatObject& object, const std::string& key) {
  const auto found = object.find(key);
  return found == object.end() ? std::string() : found->second;
}

// Octets as the peer writes a Buffer: lower-case hex, no blanks.
std::string HexOf(std::string_view octets);
inline std::string HexOf(const std::vector<uint8_t>& octets) {
  return HexOf(std::string_view(reinterpret_cast<const char*>(octets.data()), octets.size()));
}

// A text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace korvane::testing
