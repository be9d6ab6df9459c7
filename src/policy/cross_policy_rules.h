// The rules that hold whatever the baseline: a PSO weaker than its domain's
// policy, lockout switched off, reversible encryption on, PSOs tied on
// precedence, PSOs that reach nobody or reach objects they have no effect
// on, and stored values that Windows would refuse.
#pragma once

#include <string>
#include <vector>

#include "policy/audit_profile.h"
#include "policy/policy_record.h"
#include "policy/pso_subject.h"

namespace talvex {

// An object a PSO names in msDS-PSOAppliesTo.
struct AuditedSubject {
  std::string dn;
  PsoSubject type = {};
  bool otherDomain = false;
  // The user's msDS-ResultantPSO; empty for objects that have none.
  std::string resultantPso = {};
};

struct AuditedPolicy {
  const PolicyRecord* record = nullptr;
  // The DNS name of the policy's domain, lower case: PSOs are compared
  // with their own domain's policy and with the PSOs of their domain.
  std::string domain;
  // The PSO's objectGUID as the directory stores it (16 bytes).
  std::string guidBytes = {};
  std::vector<AuditedSubject> subjects = {};
};

// Every cross-policy finding, policy by policy in the order given; each
// policy's findings in the order weakerThanDomain, lockoutOff,
// reversibleOn, precedenceTie, unused, ineffectiveSubject, windowsRule
// (the rule ids).
std::vector<AuditFinding> CheckCrossPolicyRules(
    const std::vector<AuditedPolicy>& policies);

// Which of two tied PSOs the directory picks: the lower objectGUID,
// compared byte by byte as stored (not as its text, whose first three
// groups are byte-swapped).
bool LowerGuid(const std::string& a, const std::string& b);

}  // namespace talvex
