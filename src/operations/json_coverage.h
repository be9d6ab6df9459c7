// The -coverage answer as a JSON document.
#pragma once

#include <vector>

#include "operations/account_coverage.h"
#include "operations/run_state.h"

namespace talvex {

// One "coverage" item per domain covered: its policies with their counts,
// in the order the directory ranks them, and every account.
void PrintCoverageDocument(const RunState& state,
                           const std::vector<DomainCoverage>& covered);

}  // namespace talvex
