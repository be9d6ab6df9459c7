// The operation executor: prepares the run against the directory and runs
// the one action.
#pragma once

#include "directory/dc_locator.h"
#include "directory/ldap_client.h"
#include "operations/run_config.h"

namespace talvex {

// Returns 0 when the action ran to its end (kExitFindings when an audit
// found something); fatal failures end the run themselves with the failing
// call's code.
int ExecuteAction(RunConfig& config, LdapClient& client, DcLocator& locator);

}  // namespace talvex
