// Protection from accidental deletion: the deny ACE for Everyone that
// administrative tools put on an object so that no delete, by anyone,
// goes through until the ACE is taken away again.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "operations/run_state.h"

namespace talvex {

// Whether a DACL in SDDL denies Everyone (WD) the right to delete the
// object or its tree (SD, DT, or those bits of a numeric mask).
bool DeniesDeletion(std::string_view sddl);

// The lower-cased DNs of the run's domain's PSOs that are protected, with
// one search for their DACLs. A failed search ends the run.
std::set<std::string> ProtectedPsos(RunState& state);

}  // namespace talvex
