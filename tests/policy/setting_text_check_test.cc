#include "policy/setting_text_check.h"

#include <gtest/gtest.h>

#include <string>

#include "support/decimal_integer.h"
#include "support/interval.h"

namespace talvex {
namespace {

TEST(SettingTextCheckTest, OnlyValuesTheRecordHoldsUnchangedAreValid) {
  const struct {
    const char* text;
    SettingSyntax syntax;
    bool valid;
  } cases[] = {
      {"24", SettingSyntax::kInteger, true},
      {"-1", SettingSyntax::kInteger, true},
      {"2147483647", SettingSyntax::kInteger, true},
      {"99999999999", SettingSyntax::kInteger, false},
      {"-2147483649", SettingSyntax::kInteger, false},
      {"", SettingSyntax::kInteger, false},
      {"abc", SettingSyntax::kInteger, false},
      {"12x", SettingSyntax::kInteger, false},
      {" 12", SettingSyntax::kInteger, false},
      {"+12", SettingSyntax::kInteger, false},
      {"-18000000000", SettingSyntax::kIntervalMinutes, true},
      {"0", SettingSyntax::kIntervalMinutes, true},
      {"-9223372036854775808", SettingSyntax::kIntervalMinutes, true},
      {"-9223372036854775807", SettingSyntax::kIntervalDays, true},
      {"-9223372036854775807", SettingSyntax::kIntervalMinutes, false},
      {"-99999999999999999999", SettingSyntax::kIntervalDays, false},
      {"-36288000000000x", SettingSyntax::kIntervalDays, false},
      {"TRUE", SettingSyntax::kBoolean, true},
      {"false", SettingSyntax::kBoolean, true},
      {"1", SettingSyntax::kBoolean, false},
      {"", SettingSyntax::kBoolean, false},
      {"anything", SettingSyntax::kText, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.valid, IsValidSettingText(c.text, c.syntax))
        << c.text << " " << static_cast<int>(c.syntax);
  }
}

// The one-pass reading takes exactly the valid plain texts of the numeric
// syntaxes, and gives the number that the general path gives for them.
TEST(SettingTextCheckTest, PlainNumbersReadAsTheGeneralPathReadsThem) {
  const std::string texts[] = {
      "0", "-0", "007", "24", "-1", "2147483647", "2147483648", "-2147483648",
      "-2147483649", "-18000000000", "-36288000000000", "-1288490188200000000",
      "999999999999999999", "-999999999999999999", "1000000000000000000",
      "-9223372036854775808", "", "-", "12x", " 12", "+12", "TRUE"};
  const SettingSyntax syntaxes[] = {
      SettingSyntax::kInteger, SettingSyntax::kIntervalMinutes,
      SettingSyntax::kIntervalDays, SettingSyntax::kBoolean,
      SettingSyntax::kText};
  for (const std::string& text : texts) {
    std::string digits = text.substr(!text.empty() && text[0] == '-');
    const bool plainForm =
        !digits.empty() && digits.size() <= 18 &&
        digits.find_first_not_of("0123456789") == std::string::npos;
    for (SettingSyntax syntax : syntaxes) {
      const bool numeric = syntax != SettingSyntax::kBoolean &&
                           syntax != SettingSyntax::kText;
      int number = 0;
      const bool read = ReadPlainSettingNumber(text, syntax, &number);
      EXPECT_EQ(numeric && plainForm && IsValidSettingText(text, syntax), read)
          << text << " " << static_cast<int>(syntax);
      if (!read) continue;
      int expected = 0;
      if (syntax == SettingSyntax::kInteger) {
        expected = static_cast<int>(ToInteger64(text));
      } else {
        expected = IntervalToCount(text, syntax == SettingSyntax::kIntervalDays
                                             ? IntervalUnit::kDays
                                             : IntervalUnit::kMinutes);
      }
      EXPECT_EQ(expected, number) << text << " " << static_cast<int>(syntax);
    }
  }
}

}  // namespace
}  // namespace talvex
