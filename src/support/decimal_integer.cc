#include "support/decimal_integer.h"

#include <algorithm>
#include <limits>

namespace talvex {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

LeadingInteger ReadLeadingInteger(std::string_view text) {
  LeadingInteger result;
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    result.negative = text[pos] == '-';
    ++pos;
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  // Nineteen digits always fit; only the digits after them are checked.
  const std::size_t unchecked = std::min(text.size(), pos + 19);
  for (; pos < unchecked && IsDigit(text[pos]); ++pos) {
    result.hasDigits = true;
    result.magnitude =
        result.magnitude * 10 + static_cast<std::uint64_t>(text[pos] - '0');
  }
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    result.hasDigits = true;
    std::uint64_t digit = static_cast<std::uint64_t>(text[pos] - '0');
    if (result.overflow || result.magnitude > (kMax - digit) / 10) {
      result.overflow = true;
      result.magnitude = kMax;
    } else {
      result.magnitude = result.magnitude * 10 + digit;
    }
  }
  return result;
}

bool IsWholeDecimal(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int ToInteger(std::string_view text, int defaultValue) {
  if (text.empty()) return defaultValue;
  // Unsigned arithmetic wraps without undefined behaviour; the digits are
  // read again here because the saturated magnitude has lost the low bits.
  std::uint32_t value = 0;
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

std::int64_t ToInteger64(std::string_view text) {
  LeadingInteger number = ReadLeadingInteger(text);
  constexpr std::uint64_t kMaxPositive =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (number.negative) {
    if (number.magnitude > kMaxPositive) {
      return std::numeric_limits<std::int64_t>::min();
    }
    return -static_cast<std::int64_t>(number.magnitude);
  }
  if (number.magnitude > kMaxPositive) {
    return std::numeric_limits<std::int64_t>::max();
  }
  return static_cast<std::int64_t>(number.magnitude);
}

}  // namespace talvex
