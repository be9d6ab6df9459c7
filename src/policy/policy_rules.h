// Windows' rules for the settings of a password policy.
//
// A Windows controller refuses a policy that breaks them; Samba accepts it
// and then applies it as written. Checking them before anything is written
// gives a Samba domain the same protection, and on Windows turns a refused
// write halfway through a run into a refusal before the first one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "policy/policy_record.h"
#include "policy/policy_settings.h"

namespace talvex {

// The error line of a count outside its range: "ERROR: Minimum value for "
// + label + " is " + minimum + "." or the same with "Maximum".
std::string RangeMessage(const PolicySetting& setting, std::int64_t value);
// The error line of a duration outside -1 (never) to the longest interval
// of its unit, in the same form.
std::string DurationRangeMessage(const PolicySetting& setting,
                                 std::int64_t value);

// Error lines ("ERROR: ..." without the framing "ERROR:" lines) for every
// rule the policy's settings break; empty when all hold: the counts' ranges,
// durations from -1 (never) to the longest interval, the minimum password
// age not longer than the maximum, and the lockout observation window not
// longer than the lockout duration. -1 (never) counts as longer than any
// duration; 0 counts as zero, as the controller compares the directory's
// values.
std::vector<std::string> CheckPolicyRules(const PolicyRecord& policy);

// The rules between two settings for a change to a policy: each is checked
// on the current settings merged with the changed ones, when the change
// names either setting of the pair (a change that leaves both alone does
// not make them worse).
std::vector<std::string> CheckChangedSettingPairs(const PolicyRecord& current,
                                                  const PolicyRecord& changes);

}  // namespace talvex
