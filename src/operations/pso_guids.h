// The objectGUIDs of a domain's PSOs, which identify a PSO across renames.
#pragma once

#include <map>
#include <string>

#include "operations/run_state.h"

namespace talvex {

// The objectGUID text of every PSO of the run's domain, by lower-cased DN,
// with one paged search (the retrieval does not read it). A failed search
// ends the run with its code.
std::map<std::string, std::string> ReadPsoGuids(RunState& state);

}  // namespace talvex
