// The -audit answer as a JSON document.
#pragma once

#include <vector>

#include "operations/run_state.h"
#include "policy/audit_profile.h"
#include "policy/policy_record.h"

namespace talvex {

// The profile, the policies audited (in the listing's order) and one
// "findings" array: the profile's findings, then the cross-policy ones.
void PrintAuditDocument(const RunState& state, const AuditProfile& profile,
                        const std::vector<const PolicyRecord*>& policies,
                        const std::vector<AuditFinding>& profileFindings,
                        const std::vector<AuditFinding>& crossFindings);

}  // namespace talvex
