// The checks that the connected server and its domain can hold the
// fine-grained password policies an action works on.
#pragma once

#include "directory/server_info.h"
#include "operations/run_config.h"

namespace talvex {

// Returns when the action may go ahead (possibly after a warning); ends the
// run through the usage hint when it may not.
void RunValidationTests(const ServerInfo& serverInfo, const RunConfig& config);

}  // namespace talvex
