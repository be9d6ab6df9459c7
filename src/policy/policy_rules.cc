#include "policy/policy_rules.h"

#include <limits>

#include "support/interval.h"

namespace talvex {
namespace {

// The schema's ranges (MS-ADA2: msDS-PasswordSettingsPrecedence,
// msDS-MinimumPasswordLength, msDS-PasswordHistoryLength,
// msDS-LockoutThreshold); the domain head's attributes take the same.
constexpr std::int64_t kMaxMinPwdLength = 255;
constexpr std::int64_t kMaxCount16 = 65535;

struct DurationSetting {
  const char* label;
  IntervalUnit unit;
  const char* unitName;
  int (PolicyRecord::*value)() const;
};

constexpr DurationSetting kDurations[] = {
    {"maximum password age", IntervalUnit::kDays, "days",
     &PolicyRecord::maxPwdAge},
    {"lockout duration", IntervalUnit::kMinutes, "minutes",
     &PolicyRecord::lockoutDuration},
    {"lockout observation", IntervalUnit::kMinutes, "minutes",
     &PolicyRecord::lockoutObservation},
    {"minimum password age", IntervalUnit::kDays, "days",
     &PolicyRecord::minPwdAge},
};

// Two durations of which the first may not be longer than the second
// (MS-SAMR 3.1.1.6: the controller compares the directory's negative
// intervals, so 0 is the shortest and the never value the longest).
struct SettingPair {
  const char* shorterKeyWord;
  const char* longerKeyWord;
  // The names of the two fields of -add and -mod.
  const char* shorterField;
  const char* longerField;
  const char* unitName;
  int (PolicyRecord::*shorter)() const;
  int (PolicyRecord::*longer)() const;
  const char* rule;
  // Shown when the longer one is 0: Group Policy's dialogs offer 0 for
  // "never expires" and "until an administrator unlocks", the directory
  // does not.
  const char* zeroHint;
};

constexpr SettingPair kPairs[] = {
    {"minpwdage", "maxpwdage", "minpwdage", "maxpwdage", "days",
     &PolicyRecord::minPwdAge, &PolicyRecord::maxPwdAge,
     "ERROR: Minimum password age must not be longer than maximum password "
     "age.",
     "ERROR: For passwords that never expire, the maximum password age is "
     "-1 (never)."},
    {"lockoutobservation", "lockoutduration", "lo_observe", "lo_duration",
     "minutes", &PolicyRecord::lockoutObservation,
     &PolicyRecord::lockoutDuration,
     "ERROR: Lockout observation must not be longer than lockout duration.",
     "ERROR: For accounts locked until an administrator unlocks them, the "
     "lockout duration is -1 (never)."},
};

std::int64_t Length(int count) {
  return count == kNeverCount ? std::numeric_limits<std::int64_t>::max()
                              : count;
}

std::string DurationText(int count, const char* unitName) {
  if (count == kNeverCount) return "-1 (never)";
  return std::to_string(count) + " " + unitName;
}

void CheckPair(const SettingPair& pair, int shorter, int longer,
               std::vector<std::string>* lines) {
  if (Length(shorter) <= Length(longer)) return;
  lines->push_back(pair.rule);
  lines->push_back(std::string("ERROR: Value - ") + pair.shorterField + " " +
                   DurationText(shorter, pair.unitName) + ", " +
                   pair.longerField + " " + DurationText(longer, pair.unitName));
  if (longer == 0) lines->push_back(pair.zeroHint);
}

}  // namespace

const std::vector<SettingRange>& SettingRanges() {
  static const std::vector<SettingRange> ranges = {
      {"precedence", "policy precedence", 1,
       std::numeric_limits<std::int32_t>::max(), &PolicyRecord::precedence},
      {"minpwdlen", "minimum password length", 0, kMaxMinPwdLength,
       &PolicyRecord::minPwdLength},
      {"pwdhistory", "password history", 0, kMaxCount16,
       &PolicyRecord::pwdHistory},
      {"lockoutthreshold", "lockout threshold", 0, kMaxCount16,
       &PolicyRecord::lockoutThreshold},
  };
  return ranges;
}

std::string RangeMessage(const SettingRange& range, std::int64_t value) {
  bool low = value < range.minimum;
  return std::string("ERROR: ") + (low ? "Minimum" : "Maximum") +
         " value for " + range.label + " is " +
         std::to_string(low ? range.minimum : range.maximum) + ".";
}

std::vector<std::string> CheckPolicyRules(const PolicyRecord& policy) {
  std::vector<std::string> lines;
  for (const SettingRange& range : SettingRanges()) {
    int value = (policy.*range.value)();
    if (value < range.minimum || value > range.maximum) {
      lines.push_back(RangeMessage(range, value));
      lines.push_back("ERROR: Value - " + std::to_string(value));
    }
  }
  for (const DurationSetting& duration : kDurations) {
    int value = (policy.*duration.value)();
    if (IntervalCountFits(value, duration.unit)) continue;
    lines.push_back(
        value < kNeverCount
            ? std::string("ERROR: Minimum value for ") + duration.label +
                  " is -1 (never)."
            : std::string("ERROR: Maximum value for ") + duration.label +
                  " is " + std::to_string(MaxIntervalCount(duration.unit)) +
                  " " + duration.unitName + ".");
    lines.push_back("ERROR: Value - " + std::to_string(value));
  }
  for (const SettingPair& pair : kPairs) {
    CheckPair(pair, (policy.*pair.shorter)(), (policy.*pair.longer)(), &lines);
  }
  return lines;
}

std::vector<std::string> CheckChangedSettingPairs(const PolicyRecord& current,
                                                  const PolicyRecord& changes) {
  std::vector<std::string> lines;
  for (const SettingPair& pair : kPairs) {
    bool shorterChanged = changes.IsSpecified(pair.shorterKeyWord);
    bool longerChanged = changes.IsSpecified(pair.longerKeyWord);
    if (!shorterChanged && !longerChanged) continue;
    CheckPair(pair,
              ((shorterChanged ? changes : current).*pair.shorter)(),
              ((longerChanged ? changes : current).*pair.longer)(), &lines);
  }
  return lines;
}

}  // namespace talvex
