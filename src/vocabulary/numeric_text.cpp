#include "vocabulary/numeric_text.hpp"

#include <cmath>

namespace korvane::vocabulary {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> NumericValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double value = 0;
  int digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) value = value * 10 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits, scale /= 10) {
      value += (text[i] - '0') * scale;
    }
  }
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (digits == 0 || i != text.size() || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

bool IsNumericText(std::string_view text) { return NumericValue(text).has_value(); }

}  // namespace korvane::vocabulary
