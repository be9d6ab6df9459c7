// What a policy document knows a domain's PSOs by: their objectGUIDs, which
// identify a PSO across renames, and the objects each applies to.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "operations/applied_members.h"
#include "operations/run_state.h"
#include "policy/policy_record.h"

namespace talvex {

// The objectGUID text of every PSO of the run's domain, by lower-cased DN,
// with one paged search (the retrieval does not read it). A failed search
// ends the run with its code.
std::map<std::string, std::string> ReadPsoGuids(RunState& state);

// The objects each of the PSOs applies to, by lower-cased PSO DN, with the
// names a document finds them by (DN, account name, objectSid), in one
// search. A failed search ends the run with its code.
AppliedMemberRecordsByPso ReadPsoSubjects(
    RunState& state, const std::vector<const PolicyRecord*>& psos);

}  // namespace talvex
