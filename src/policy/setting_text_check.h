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

}  // namespace talvex
