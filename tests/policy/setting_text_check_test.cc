#include "policy/setting_text_check.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace talvex
