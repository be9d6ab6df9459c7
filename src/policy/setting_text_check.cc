#include "policy/setting_text_check.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "support/interval.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The whole text as one signed 64-bit decimal number (no blanks, no "+").
bool ReadWholeNumber(std::string_view text, std::int64_t* value) {
  if (text.empty()) return false;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

bool IsValidInterval(std::string_view text, std::int64_t unitFactor) {
  std::int64_t value = 0;
  if (!ReadWholeNumber(text, &value)) return false;
  if (text == kNeverInterval) return true;
  // The sign of a duration does not matter to the record, its size does.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  return magnitude / static_cast<std::uint64_t>(unitFactor) <=
         static_cast<std::uint64_t>(std::numeric_limits<int>::max());
}

constexpr std::int64_t kMinute = 600000000;  // 100-ns units
constexpr std::int64_t kDay = 1440 * kMinute;

}  // namespace

bool IsValidSettingText(std::string_view text, SettingSyntax syntax) {
  switch (syntax) {
    case SettingSyntax::kText:
      return true;
    case SettingSyntax::kInteger: {
      std::int64_t value = 0;
      return ReadWholeNumber(text, &value) &&
             value >= std::numeric_limits<int>::min() &&
             value <= std::numeric_limits<int>::max();
    }
    case SettingSyntax::kIntervalMinutes:
      return IsValidInterval(text, kMinute);
    case SettingSyntax::kIntervalDays:
      return IsValidInterval(text, kDay);
    case SettingSyntax::kBoolean: {
      return UpperCaseEquals(text, "TRUE") || UpperCaseEquals(text, "FALSE");
    }
  }
  return false;
}

bool ReadPlainSettingNumber(std::string_view text, SettingSyntax syntax,
                            int* value) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 18) return false;
  std::uint64_t magnitude = 0;  // eighteen digits fit without a check
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
  }
  constexpr std::uint64_t kIntMax = std::numeric_limits<int>::max();
  switch (syntax) {
    case SettingSyntax::kInteger:
      if (magnitude > kIntMax + (negative ? 1 : 0)) return false;
      *value = static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude)
                                         : static_cast<std::int64_t>(magnitude));
      return true;
    case SettingSyntax::kIntervalMinutes:
    case SettingSyntax::kIntervalDays: {
      const auto unit = static_cast<std::uint64_t>(
          syntax == SettingSyntax::kIntervalDays ? kDay : kMinute);
      if (magnitude / unit > kIntMax) return false;
      *value = static_cast<int>(magnitude / unit);
      return true;
    }
    case SettingSyntax::kText:
    case SettingSyntax::kBoolean:
      break;
  }
  return false;
}

}  // namespace talvex
