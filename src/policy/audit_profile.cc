#include "policy/audit_profile.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "policy/json_input.h"
#include "policy/policy_display.h"
#include "support/interval.h"

namespace talvex {
namespace {

using enum SettingId;
// Ordered: the requirements keep the order the file gives them.
using Json = nlohmann::ordered_json;

constexpr int kOn = 1;
constexpr int kOff = 0;

// The baselines as published, in the tool's units. Lockout duration "until
// an administrator unlocks" (never) counts as the longest, so a minimum
// duration accepts it; a maximum age refuses never as longer than any
// bound.
const AuditProfile kBuiltInProfiles[] = {
    {"cis",
     "CIS Microsoft Windows Server 2025 Benchmark v1.0.0, Level 1",
     {
         {.id = kPwdHistory, .minimum = 24},
         {.id = kMaxPwdAge, .maximum = 365, .allowNeverOrOff = false},
         {.id = kMinPwdAge, .minimum = 1},
         {.id = kMinPwdLength, .minimum = 14},
         {.id = kComplexity, .required = kOn},
         {.id = kReversible, .required = kOff},
         {.id = kLockoutDuration, .minimum = 15},
         {.id = kLockoutThreshold, .minimum = 1, .maximum = 5},
         {.id = kLockoutObservation, .minimum = 15},
     }},
    {"stig",
     "DISA Microsoft Windows Server 2022 STIG V2R3",
     {
         {.id = kPwdHistory, .minimum = 24},
         {.id = kMaxPwdAge, .maximum = 60, .allowNeverOrOff = false},
         {.id = kMinPwdAge, .minimum = 1},
         {.id = kMinPwdLength, .minimum = 14},
         {.id = kComplexity, .required = kOn},
         {.id = kReversible, .required = kOff},
         {.id = kLockoutDuration, .minimum = 15},
         {.id = kLockoutThreshold, .minimum = 1, .maximum = 3},
         {.id = kLockoutObservation, .minimum = 15},
     }},
    {"msbaseline",
     "Microsoft security baseline for Windows Server",
     {
         {.id = kPwdHistory, .minimum = 24},
         {.id = kMinPwdLength, .minimum = 14},
         {.id = kComplexity, .required = kOn},
         {.id = kReversible, .required = kOff},
         {.id = kLockoutDuration, .minimum = 10},
         {.id = kLockoutThreshold, .minimum = 1, .maximum = 10},
         {.id = kLockoutObservation, .minimum = 10},
     }},
    // NIST forbids periodic changes and composition rules.
    {"nist",
     "NIST SP 800-63B-4",
     {
         {.id = kMaxPwdAge, .required = kNeverCount},
         {.id = kMinPwdLength, .minimum = 15},
         {.id = kComplexity, .required = kOff},
         {.id = kReversible, .required = kOff},
         {.id = kLockoutThreshold, .minimum = 1, .maximum = 100},
     }},
};

// Whether a is the larger value in the setting's own order: a longer
// duration (never the longest) or a larger count. The table's stronger
// direction decides how never compares.
bool Larger(const PolicySetting& setting, int a, int b) {
  switch (setting.stronger) {
    case Stronger::kHigher:
    case Stronger::kLonger:
      return IsStronger(setting, a, b);
    case Stronger::kShorter:
      return IsStronger(setting, b, a);
    default:
      return a > b;
  }
}

// The value that means "never" (a duration) or "off" (a lockout
// threshold of 0), if the setting has one.
std::optional<int> NeverOrOffValue(const PolicySetting& setting) {
  if (IsDuration(setting)) return kNeverCount;
  if (setting.stronger == Stronger::kLowerButNotOff) return 0;
  return std::nullopt;
}

std::string ValueText(const PolicySetting& setting, int value) {
  if (setting.unit == SettingUnit::kBoolean) return value ? "TRUE" : "FALSE";
  if (IsDuration(setting) && value == kNeverCount) return "never";
  return std::to_string(value);
}

// --- The profile file -------------------------------------------------

// A value of the setting: an integer in its range, "never" for a
// duration, true or false for a boolean.
bool ReadValue(const PolicySetting& setting, const Json& json,
               const std::string& place, int* value, ParseFailure* failure) {
  if (setting.unit == SettingUnit::kBoolean) {
    if (!json.is_boolean()) {
      *failure = {place, "expected true or false"};
      return false;
    }
    *value = json.get<bool>() ? kOn : kOff;
    return true;
  }
  if (IsDuration(setting) && json.is_string() && json == "never") {
    *value = kNeverCount;
    return true;
  }
  if (!json.is_number_integer()) {
    *failure = {place, IsDuration(setting)
                           ? "expected a whole number or \"never\""
                           : "expected a whole number"};
    return false;
  }
  const std::int64_t number = json.get<std::int64_t>();
  const std::int64_t low = IsDuration(setting) ? 0 : setting.minimum;
  const std::int64_t high = IsDuration(setting)
                                ? std::numeric_limits<std::int32_t>::max()
                                : setting.maximum;
  if (number < low || number > high) {
    *failure = {place, "out of range " + std::to_string(low) + " to " +
                           std::to_string(high)};
    return false;
  }
  *value = static_cast<int>(number);
  return true;
}

bool ReadRequirement(const PolicySetting& setting, const Json& json,
                     const std::string& place, SettingRequirement* requirement,
                     ParseFailure* failure) {
  if (!json.is_object() || json.empty()) {
    *failure = {place,
                "expected an object with minimum, maximum, required or "
                "allowNeverOrOff"};
    return false;
  }
  requirement->id = setting.id;
  for (const auto& [key, value] : json.items()) {
    const std::string at = place + "/" + key;
    int number = 0;
    if (key == "minimum" || key == "maximum" || key == "required") {
      if (key != "required" && setting.unit == SettingUnit::kBoolean) {
        *failure = {at, "a TRUE/FALSE setting takes only \"required\""};
        return false;
      }
      if (!ReadValue(setting, value, at, &number, failure)) return false;
      (key == "minimum"   ? requirement->minimum
       : key == "maximum" ? requirement->maximum
                          : requirement->required) = number;
    } else if (key == "allowNeverOrOff") {
      if (!NeverOrOffValue(setting)) {
        *failure = {at, "the setting has no never or off value"};
        return false;
      }
      if (!value.is_boolean()) {
        *failure = {at, "expected true or false"};
        return false;
      }
      requirement->allowNeverOrOff = value.get<bool>();
    } else {
      *failure = {at, "unknown key"};
      return false;
    }
  }
  if (requirement->required && (requirement->minimum || requirement->maximum)) {
    *failure = {place,
                "\"required\" cannot be given with a minimum or maximum"};
    return false;
  }
  if (requirement->minimum && requirement->maximum &&
      Larger(setting, *requirement->minimum, *requirement->maximum)) {
    *failure = {place, "minimum above maximum"};
    return false;
  }
  return true;
}

bool ReadProfile(const Json& json, AuditProfile* profile,
                 ParseFailure* failure) {
  if (!json.is_object()) {
    *failure = {"/", "a profile is a JSON object"};
    return false;
  }
  for (const auto& [key, value] : json.items()) {
    if (key != "name" && key != "title" && key != "settings") {
      *failure = {"/" + key, "unknown key"};
      return false;
    }
  }
  if (!json.contains("name") || !json["name"].is_string() ||
      json["name"].get<std::string>().empty()) {
    *failure = {"/name", "expected the profile's name, a non-empty text"};
    return false;
  }
  profile->name = json["name"].get<std::string>();
  if (json.contains("title")) {
    if (!json["title"].is_string()) {
      *failure = {"/title", "expected a text"};
      return false;
    }
    profile->title = json["title"].get<std::string>();
  }
  if (!json.contains("settings") || !json["settings"].is_object() ||
      json["settings"].empty()) {
    *failure = {"/settings", "expected an object naming at least one setting"};
    return false;
  }
  for (const auto& [key, value] : json["settings"].items()) {
    const std::string place = "/settings/" + key;
    const PolicySetting* setting = SettingOfJsonKey(key);
    if (setting == nullptr) {
      *failure = {place, "no such setting; the settings are " + SettingKeys()};
      return false;
    }
    SettingRequirement requirement{};
    if (!ReadRequirement(*setting, value, place, &requirement, failure))
      return false;
    profile->requirements.push_back(requirement);
  }
  return true;
}

}  // namespace

const AuditProfile* FindBuiltInProfile(std::string_view word) {
  for (const AuditProfile& profile : kBuiltInProfiles) {
    if (profile.name == word) return &profile;
  }
  return nullptr;
}

std::vector<std::string> BuiltInProfileNames() {
  std::vector<std::string> names;
  for (const AuditProfile& profile : kBuiltInProfiles)
    names.push_back(profile.name);
  return names;
}

bool MeetsRequirement(const SettingRequirement& requirement, int value) {
  const PolicySetting& setting = Setting(requirement.id);
  if (requirement.allowNeverOrOff && NeverOrOffValue(setting) == value)
    return *requirement.allowNeverOrOff;
  if (requirement.required) return value == *requirement.required;
  if (requirement.minimum && Larger(setting, *requirement.minimum, value))
    return false;
  if (requirement.maximum && Larger(setting, value, *requirement.maximum))
    return false;
  return true;
}

std::string RequirementText(const SettingRequirement& requirement) {
  const PolicySetting& setting = Setting(requirement.id);
  std::string text;
  if (requirement.required) {
    text = ValueText(setting, *requirement.required);
  } else if (requirement.minimum && requirement.maximum) {
    text = ValueText(setting, *requirement.minimum) + " to " +
           ValueText(setting, *requirement.maximum);
  } else if (requirement.minimum) {
    text = ValueText(setting, *requirement.minimum) + " or more";
  } else if (requirement.maximum) {
    text = ValueText(setting, *requirement.maximum) + " or less";
  }
  if (requirement.allowNeverOrOff) {
    const std::string neverOrOff = IsDuration(setting) ? "never" : "0";
    text += (text.empty() ? "" : ", ") +
            std::string(*requirement.allowNeverOrOff ? "or " : "not ") +
            neverOrOff;
  }
  return text;
}

std::string SettingValueText(SettingId id, int value) {
  return ValueText(Setting(id), value);
}

std::vector<AuditFinding> CheckProfile(const AuditProfile& profile,
                                       const PolicyRecord& record) {
  std::vector<AuditFinding> findings;
  for (SettingId id : ListedSettings()) {
    for (const SettingRequirement& requirement : profile.requirements) {
      if (requirement.id != id) continue;
      const bool readable =
          !record.IsUnset(id) && record.InvalidText(id) == nullptr;
      if (!readable || !MeetsRequirement(requirement, record.Value(id))) {
        findings.push_back({.dn = record.dn(),
                            .setting = id,
                            .rule = profile.name,
                            .found = readable
                                         ? std::optional<int>(record.Value(id))
                                         : std::nullopt,
                            .required = RequirementText(requirement),
                            .detail = readable ? "" : SettingText(record, id)});
      }
    }
  }
  return findings;
}

bool ParseAuditProfile(std::string_view text, AuditProfile* profile,
                       std::string* place, std::string* reason) {
  return ParseJsonDocument<Json>(text, profile, place, reason, ReadProfile);
}

}  // namespace talvex
