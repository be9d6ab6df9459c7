#include "policy/policy_rules.h"

#include <limits>

#include "support/interval.h"

namespace talvex {
namespace {

// Two durations of which the first may not be longer than the second
// (MS-SAMR 3.1.1.6: the controller compares the directory's negative
// intervals, so 0 is the shortest and the never value the longest).
struct SettingPair {
  SettingId shorter;
  SettingId longer;
  const char* rule;
  // Shown when the longer one is 0: Group Policy's dialogs offer 0 for
  // "never expires" and "until an administrator unlocks", the directory
  // does not.
  const char* zeroHint;
};

constexpr SettingPair kPairs[] = {
    {SettingId::kMinPwdAge, SettingId::kMaxPwdAge,
     "ERROR: Minimum password age must not be longer than maximum password "
     "age.",
     "ERROR: For passwords that never expire, the maximum password age is "
     "-1 (never)."},
    {SettingId::kLockoutObservation, SettingId::kLockoutDuration,
     "ERROR: Lockout observation must not be longer than lockout duration.",
     "ERROR: For accounts locked until an administrator unlocks them, the "
     "lockout duration is -1 (never)."},
};

std::int64_t Length(int count) {
  return count == kNeverCount ? std::numeric_limits<std::int64_t>::max()
                              : count;
}

std::string DurationText(int count, const PolicySetting& setting) {
  if (count == kNeverCount) return "-1 (never)";
  return std::to_string(count) + " " + UnitName(setting);
}

void CheckPair(const SettingPair& pair, int shorter, int longer,
               std::vector<std::string>* lines) {
  if (Length(shorter) <= Length(longer)) return;
  const PolicySetting& shorterSetting = Setting(pair.shorter);
  const PolicySetting& longerSetting = Setting(pair.longer);
  lines->push_back(pair.rule);
  lines->push_back(std::string("ERROR: Value - ") + shorterSetting.fieldName +
                   " " + DurationText(shorter, shorterSetting) + ", " +
                   longerSetting.fieldName + " " +
                   DurationText(longer, longerSetting));
  if (longer == 0) lines->push_back(pair.zeroHint);
}

}  // namespace

std::string RangeMessage(const PolicySetting& setting, std::int64_t value) {
  bool low = value < setting.minimum;
  return std::string("ERROR: ") + (low ? "Minimum" : "Maximum") +
         " value for " + setting.label + " is " +
         std::to_string(low ? setting.minimum : setting.maximum) + ".";
}

std::string DurationRangeMessage(const PolicySetting& setting,
                                 std::int64_t value) {
  if (value < kNeverCount) {
    return std::string("ERROR: Minimum value for ") + setting.label +
           " is -1 (never).";
  }
  return std::string("ERROR: Maximum value for ") + setting.label + " is " +
         std::to_string(MaxIntervalCount(IntervalUnitOf(setting))) + " " +
         UnitName(setting) + ".";
}

std::vector<std::string> CheckPolicyRules(const PolicyRecord& policy) {
  std::vector<std::string> lines;
  // Counts first, then durations, each in the order of the fields.
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.unit != SettingUnit::kCount) continue;
    int value = policy.Value(setting.id);
    if (value < setting.minimum || value > setting.maximum) {
      lines.push_back(RangeMessage(setting, value));
      lines.push_back("ERROR: Value - " + std::to_string(value));
    }
  }
  for (const PolicySetting& setting : PolicySettings()) {
    if (!IsDuration(setting)) continue;
    int value = policy.Value(setting.id);
    if (IntervalCountFits(value, IntervalUnitOf(setting))) continue;
    lines.push_back(DurationRangeMessage(setting, value));
    lines.push_back("ERROR: Value - " + std::to_string(value));
  }
  for (const SettingPair& pair : kPairs) {
    CheckPair(pair, policy.Value(pair.shorter), policy.Value(pair.longer),
              &lines);
  }
  return lines;
}

std::vector<std::string> CheckChangedSettingPairs(const PolicyRecord& current,
                                                  const PolicyRecord& changes) {
  std::vector<std::string> lines;
  for (const SettingPair& pair : kPairs) {
    bool shorterChanged = changes.IsSpecified(pair.shorter);
    bool longerChanged = changes.IsSpecified(pair.longer);
    if (!shorterChanged && !longerChanged) continue;
    CheckPair(pair, (shorterChanged ? changes : current).Value(pair.shorter),
              (longerChanged ? changes : current).Value(pair.longer), &lines);
  }
  return lines;
}

}  // namespace talvex
