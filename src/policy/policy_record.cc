// Placeholder until the policy record lands.
#include "policy/policy_record.h"

namespace talvex {
PolicyRecord::PolicyRecord() = default;
PolicyRecord::PolicyRecord(bool) {}
PolicyRecord::PolicyRecord(bool, bool) {}
}  // namespace talvex
