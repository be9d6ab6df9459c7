// The -effective answer as a JSON document.
#pragma once

#include "operations/effective_user.h"
#include "operations/run_state.h"
#include "policy/policy_record.h"

namespace talvex {

// Prints the user, every PSO that applies to it (named directly, or through
// a group it belongs to, searched here), the effective policy (null when its
// object could not be read) and the directory's msDS-ResultantPSO. A failed
// search ends the run before anything reaches standard output.
void PrintEffectiveDocument(RunState& state, const EffectiveUser& user,
                            const PolicyRecord* effective);

}  // namespace talvex
