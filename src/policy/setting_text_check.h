// Whether a setting's text, as read from the directory, is a value that a
// policy record holds as it is.
#pragma once

#include <string_view>

namespace talvex {

enum class SettingSyntax {
  kText,             // names: any text
  kInteger,          // a whole decimal number of 32 bits
  kIntervalMinutes,  // a 64-bit interval of whole minutes that fit 32 bits
  kIntervalDays,     // likewise in days
  kBoolean,          // "TRUE" or "FALSE" in any letter case
};

// False for text that is not a number of the syntax ("abc", "12x", "") and
// for numbers the record cannot hold without changing them (a count beyond
// 32 bits would otherwise be clamped to 2147483647 without a word).
bool IsValidSettingText(std::string_view text, SettingSyntax syntax);

// The number that a valid text of a numeric syntax stands for in a policy
// record, read in one pass when the text is plain: an optional "-" and one
// to eighteen digits. A count as it is, an interval in whole minutes or
// days without its sign. False for any other text and for a plain one that
// is not valid; the caller then takes the general path. Thousands of
// policies are read at a time, and nearly all their settings are plain.
bool ReadPlainSettingNumber(std::string_view text, SettingSyntax syntax,
                            int* value);

}  // namespace talvex
