// The action sections the executor dispatches to. Each runs on the state
// the preparation built; each is defined in the file named after its action
// (add.cc, view.cc, membership.cc for the subject changes, ...), whose own
// header declares what other actions share of it.
#pragma once

#include "operations/run_state.h"

namespace talvex {

void RunView(RunState& state);  // view and applied
void RunAdd(RunState& state);
void RunDelete(RunState& state);  // del and multidel
void RunRename(RunState& state);
void RunModify(RunState& state);
void RunQuickStart(RunState& state);
void RunApplyTo(RunState& state);  // applyto and unapplyto
// Sends -applyto's (-unapplyto's) search for its object ahead: it needs
// nothing the PSO search finds.
void SendApplyToObjectSearchAhead(RunState& state);
void RunClearApplied(RunState& state);
void RunEffective(RunState& state);
// Sends -effective's search for its user ahead (LdapSendAhead).
void SendEffectiveUserSearchAhead(RunState& state);
void RunAudit(RunState& state);
void RunCoverage(RunState& state);
void RunExport(RunState& state);
void RunSync(RunState& state);

}  // namespace talvex
