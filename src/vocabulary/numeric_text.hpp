// The numeric-text test of a late-bound host: optional blanks, an optional
// sign, digits with an optional decimal part, optional blanks.
#pragma once

#include <optional>
#include <string_view>

namespace korvane::vocabulary {

bool IsNumericText(std::string_view text);

// The value of a numeric text, or nothing when the text is not numeric.
std::optional<double> NumericValue(std::string_view text);

}  // namespace korvane::vocabulary
