// The -view and -applied answers as a JSON document.
#pragma once

#include <vector>

#include "operations/run_state.h"
#include "policy/policy_record.h"

namespace talvex {

// Prints the policies, in the order given (the listing's), as one document;
// for -applied each PSO carries the objects it applies to, searched here. A
// failed search ends the run before anything reaches standard output.
void PrintViewDocument(RunState& state,
                       const std::vector<const PolicyRecord*>& policies);

}  // namespace talvex
