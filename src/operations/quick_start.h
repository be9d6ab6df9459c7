// The starter set of PSOs that quick start creates.
#pragma once

#include <vector>

#include "policy/policy_record.h"

namespace talvex {

// Appends the administrators PSO and then the service accounts PSO, both
// derived from the domain's policy.
void BuildQuickStartPSOs(std::vector<PolicyRecord>* list,
                         const PolicyRecord& domainPolicy);

}  // namespace talvex
