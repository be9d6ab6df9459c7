// The rename action: gives the one selected PSO a new name.
#include "directory/ldap_modify.h"
#include "operations/actions.h"
#include "operations/run_failure.h"
#include "support/output.h"
#include "support/usage_hint.h"

namespace talvex {

void RunRename(RunState& state) {
  RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Rename");
  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No PSO to rename with the specified criteria.");
    PrintLine("");
    return;
  }
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Can only rename one object at a time, be more specific with selection criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  const std::string dn = state.policies.begin()->second.dn();
  if (config.forReal) {
    PrintLine("Renaming PSO:");
    PrintLine("  " + dn);
    int code = LdapRename(*state.mainConnection, dn, config.renameTo);
    if (code != 0) {
      FailLdapCall(state, "ERROR: ldap_rename_ext_s (" + dn + "): ",
                   config.host, code);
    }
    PrintLine("PSO successfully renamed.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("DN to be renamed had this been for real. (newname=" +
              config.renameTo + ")");
    PrintLine("  " + dn);
  }
}

}  // namespace talvex
