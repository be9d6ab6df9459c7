// What the Coverage section shares with its JSON document.
#pragma once

#include <string>

#include "operations/account_coverage.h"

namespace talvex {

// A PSO's name as shown: its record's, else the value of its first RDN
// (a PSO this bind cannot read).
std::string CoveredPsoName(const CoveredPso& pso);

}  // namespace talvex
