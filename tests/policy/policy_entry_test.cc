#include "policy/policy_entry.h"

#include <gtest/gtest.h>

#include "policy/policy_display.h"

namespace talvex {
namespace {

// Every setting is single-valued: an attribute with a second value is
// shown invalid with all its values, never as its first one.
TEST(PolicyEntryTest, SecondValueOfASettingIsInvalid) {
  const struct {
    bool pso;
    const char* attribute;
    std::vector<std::string> values;
    SettingId id;
    const char* shown;
  } cases[] = {
      {true,
       "msDS-LockoutThreshold",
       {"5", "7"},
       SettingId::kLockoutThreshold,
       "(invalid: 5, 7)"},
      {true, "msDS-LockoutThreshold", {"5"}, SettingId::kLockoutThreshold, "5"},
      {false,
       "minPwdLength",
       {"7", "8"},
       SettingId::kMinPwdLength,
       "(invalid: 7, 8)"},
      {false,
       "pwdProperties",
       {"1", "0"},
       SettingId::kComplexity,
       "(invalid: 1, 0)"},
      {false,
       "pwdProperties",
       {"1", "0"},
       SettingId::kReversible,
       "(invalid: 1, 0)"},
  };
  for (const auto& c : cases) {
    Record entry = {{kDnKey, {"CN=p"}}, {c.attribute, c.values}};
    PolicyRecord record =
        c.pso ? PsoFromEntry(entry) : DomainPolicyFromEntry(entry);
    EXPECT_EQ(c.shown, SettingText(record, c.id)) << c.attribute;
    EXPECT_EQ(c.values.size() > 1, record.InvalidText(c.id) != nullptr)
        << c.attribute;
  }
}

}  // namespace
}  // namespace talvex
