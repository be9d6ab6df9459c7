// The operation executor: prepares the run against the directory and runs
// the one action.
#pragma once

#include <string>

#include "directory/dc_locator.h"
#include "directory/ldap_client.h"
#include "operations/run_config.h"

namespace talvex {

// Returns 0 when the action ran to its end (kExitFindings when an audit
// found something); fatal failures end the run themselves with the failing
// call's code. The password (-up) is taken into the run, which wipes it
// after its last bind; *password is wiped at once.
int ExecuteAction(const RunConfig& config, std::string* password,
                  LdapClient& client, DcLocator& locator);

}  // namespace talvex
