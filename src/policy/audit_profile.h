// A baseline that policies are audited against: per setting a lowest and a
// highest acceptable value, a required value, and whether the setting's
// "never" or "off" value is acceptable whatever the bounds say. The four
// built-in baselines and profiles read from a JSON file share this form.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "policy/policy_record.h"
#include "policy/policy_settings.h"

namespace talvex {

// Values in the record's units (days, minutes, counts, 1/0 for booleans;
// -1 for never, which counts as the longest duration).
struct SettingRequirement {
  SettingId id;
  std::optional<int> minimum = std::nullopt;
  std::optional<int> maximum = std::nullopt;
  std::optional<int> required = std::nullopt;
  // The setting's never (-1) or off (0) value: accepted (true) or refused
  // (false) whatever the bounds say; unset, the bounds decide.
  std::optional<bool> allowNeverOrOff = std::nullopt;
};

struct AuditProfile {
  std::string name;   // the word after -audit, or the file's "name"
  std::string title;  // what the baseline is
  std::vector<SettingRequirement> requirements;
};

// One thing the audit found about one policy: a setting that misses the
// profile (rule = the profile's name) or a cross-policy rule (rule = its id,
// such as "precedenceTie").
struct AuditFinding {
  std::string dn;
  // The setting concerned; none for a finding about the policy as a whole.
  std::optional<SettingId> setting = std::nullopt;
  std::string rule = {};
  // The setting's value as found, when the finding is about one.
  std::optional<int> found = std::nullopt;
  // What would pass, in words ("14 or more"); empty when nothing is.
  std::string required = {};
  // What the finding says beyond the setting and its value.
  std::string detail = {};
  // precedenceTie: the PSO the directory picks where the tied PSOs meet.
  std::string picked = {};
};

// The built-in profile of that word (cis, stig, msbaseline, nist), or null.
const AuditProfile* FindBuiltInProfile(std::string_view word);
// The built-in profiles' words, in the order the usage text lists them.
std::vector<std::string> BuiltInProfileNames();

// Whether the value meets the requirement.
bool MeetsRequirement(const SettingRequirement& requirement, int value);
// The requirement in words, in the setting's unit: "14 or more",
// "1 to 5", "TRUE", "never", "365 or less, not never".
std::string RequirementText(const SettingRequirement& requirement);
// A value in words: "TRUE", "never", "14".
std::string SettingValueText(SettingId id, int value);
// The settings of the record that miss the profile, in the listing's
// order. A setting the directory did not hold readably misses every
// requirement on it: the audit cannot show it is met.
std::vector<AuditFinding> CheckProfile(const AuditProfile& profile,
                                       const PolicyRecord& record);

// Reads a profile from the JSON text of a file. On failure returns false
// with *place (a JSON pointer, or "line L, column C" for a syntax error)
// and *reason set.
bool ParseAuditProfile(std::string_view text, AuditProfile* profile,
                       std::string* place, std::string* reason);

}  // namespace talvex
