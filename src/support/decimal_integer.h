// Reading the leading decimal integer of a text, as the command line and the
// policy settings are given.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvex {

// The leading integer of a text: leading white space skipped, one optional
// "+" or "-", then decimal digits up to the first non-digit.
struct LeadingInteger {
  bool negative = false;
  bool hasDigits = false;
  // The digits' value, saturated at UINT64_MAX when they do not fit.
  std::uint64_t magnitude = 0;
  bool overflow = false;
};

LeadingInteger ReadLeadingInteger(std::string_view text);

// Whether the whole text is one decimal integer: one optional "+" or "-",
// then one or more digits and nothing else (no blanks). Values typed for
// numeric settings must be; reading only the leading integer would turn a
// typo such as "abc" into 0.
bool IsWholeDecimal(std::string_view text);

// The default when the text is empty; otherwise the leading integer (no
// digits gives 0). A number beyond 32 bits wraps, as users of the switches
// have always seen it.
int ToInteger(std::string_view text, int defaultValue);

// The leading integer (no digits gives 0), saturated at the limits of a
// signed 64-bit integer instead of wrapping, so that callers can tell a
// number that does not fit in 32 bits from one that does.
std::int64_t ToInteger64(std::string_view text);

}  // namespace talvex
