// Placeholder until the executor lands.
#include "operations/execute_action.h"

#include "support/output.h"

namespace talvex {

int ExecuteAction(RunConfig&, LdapClient&, DcLocator&) {
  PrintLine("ERROR: The directory layer is not available yet.");
  return 1;
}

}  // namespace talvex
