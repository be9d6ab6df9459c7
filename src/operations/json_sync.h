// The plan of -sync as a JSON document (-json).
#pragma once

#include "operations/run_state.h"
#include "operations/sync_plan.h"

namespace talvex {

// applied: the run made the changes (-forreal) and read them back.
void PrintSyncDocument(const RunState& state, const SyncPlan& plan,
                       bool applied);

}  // namespace talvex
