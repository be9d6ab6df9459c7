#include "policy/policy_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "operations/json_document.h"
#include "operations/modify_policy.h"
#include "output_capture.h"
#include "policy/policy_display.h"
#include "policy/policy_entry.h"

namespace talvex {
namespace {

constexpr std::int64_t kTicksPerMinute = 600000000;

// A value of its own for each setting, so that a row read from or written
// to another setting's place shows.
int SampleValue(const PolicySetting& setting) {
  return setting.unit == SettingUnit::kBoolean
             ? 1
             : 3 + static_cast<int>(setting.id);
}

// The sample as the directory holds it.
std::string DirectoryValue(const PolicySetting& setting) {
  const std::int64_t value = SampleValue(setting);
  switch (setting.unit) {
    case SettingUnit::kCount:
      return std::to_string(value);
    case SettingUnit::kMinutes:
      return std::to_string(-value * kTicksPerMinute);
    case SettingUnit::kDays:
      return std::to_string(-value * kTicksPerMinute * 60 * 24);
    case SettingUnit::kBoolean:
      return "TRUE";
  }
  return "";
}

// Every setting of a PSO and of a domain head goes from the directory entry
// into the record, out to the listing and the JSON document, and back as
// the change line that writes the same value to the same attribute.
TEST(PolicySettingsTest, EverySettingTravelsFromEntryToListingJsonAndWrite) {
  for (bool pso : {true, false}) {
    Record entry = {{kDnKey,
                     {pso ? "CN=p,CN=Password Settings Container,"
                            "CN=System,DC=corp,DC=example,DC=com"
                          : "DC=corp,DC=example,DC=com"}}};
    std::int64_t properties = 0;
    for (const PolicySetting& setting : PolicySettings()) {
      const char* attribute =
          pso ? setting.psoAttribute : setting.domainAttribute;
      if (attribute != nullptr) entry[attribute] = {DirectoryValue(setting)};
      properties |= setting.propertiesBit;
    }
    if (!pso) entry[kPwdPropertiesAttribute] = {std::to_string(properties)};
    const PolicyRecord record =
        pso ? PsoFromEntry(entry) : DomainPolicyFromEntry(entry);
    const AttributeSet& asked =
        pso ? PsoAttributes() : DomainPolicyAttributes();

    OutputCapture capture;
    DisplayPolicy(record, "");
    capture.Stop();
    const JsonDocument json = PolicyJson(record);

    for (const PolicySetting& setting : PolicySettings()) {
      SCOPED_TRACE(std::string(setting.keyWord) +
                   (pso ? " (PSO)" : " (domain)"));
      const bool held = pso || setting.id != SettingId::kPrecedence;
      const int value = held ? SampleValue(setting) : 2147483647;
      EXPECT_FALSE(record.IsUnset(setting.id));
      EXPECT_EQ(nullptr, record.InvalidText(setting.id));
      EXPECT_EQ(value, record.Value(setting.id));
      EXPECT_NE(
          std::string::npos,
          capture.Stdout().find(std::string("    ") + setting.displayLabel +
                                record.Text(setting.id) + "\n"));
      if (setting.jsonKey == nullptr) {
        EXPECT_EQ(value, json["precedence"]);
      } else if (setting.unit == SettingUnit::kBoolean) {
        EXPECT_EQ(true, json["settings"][setting.jsonKey]);
      } else {
        EXPECT_EQ(value, json["settings"][setting.jsonKey]);
      }
      if (!held) continue;

      PolicyRecord change(false, true);
      change.SetIsPSO(pso);
      change.SetSetting(setting.id, record.Text(setting.id));
      const char* attribute =
          pso ? setting.psoAttribute : setting.domainAttribute;
      const std::string written =
          attribute != nullptr
              ? std::string(attribute) + ":" + DirectoryValue(setting)
              : std::string(kPwdPropertiesAttribute) + ":" +
                    std::to_string(setting.propertiesBit);
      EXPECT_EQ(std::vector<std::string>{written}, PolicyChangeLines(change));
      EXPECT_TRUE(asked.count(attribute != nullptr ? attribute
                                                   : kPwdPropertiesAttribute));
    }
  }
}

// Tightening keeps the stronger value; never (-1) counts as the longest
// duration and a lockout threshold of 0 as no lockout at all.
TEST(PolicySettingsTest, StrongerFollowsEachSettingsDirection) {
  const struct {
    SettingId id;
    int stronger;
    int weaker;
  } cases[] = {
      {SettingId::kMinPwdLength, 14, 8},
      {SettingId::kPwdHistory, 24, 0},
      {SettingId::kMinPwdAge, 1, 0},
      {SettingId::kMaxPwdAge, 60, 365},
      {SettingId::kMaxPwdAge, 365, -1},
      {SettingId::kLockoutDuration, -1, 30},
      {SettingId::kLockoutObservation, 30, 15},
      {SettingId::kLockoutThreshold, 3, 10},
      {SettingId::kLockoutThreshold, 100, 0},
      {SettingId::kComplexity, 1, 0},
      {SettingId::kReversible, 0, 1},
  };
  for (const auto& c : cases) {
    const PolicySetting& setting = Setting(c.id);
    SCOPED_TRACE(setting.keyWord);
    EXPECT_TRUE(IsStronger(setting, c.stronger, c.weaker));
    EXPECT_FALSE(IsStronger(setting, c.weaker, c.stronger));
    EXPECT_FALSE(IsStronger(setting, c.stronger, c.stronger));
  }
  EXPECT_FALSE(IsStronger(Setting(SettingId::kPrecedence), 1, 2));
  EXPECT_EQ(&Setting(SettingId::kPwdHistory), FindSetting("pwdhistory"));
  EXPECT_EQ(nullptr, FindSetting("name"));
}

}  // namespace
}  // namespace talvex
