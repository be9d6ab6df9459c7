// The delete and multi-delete actions: remove the selected PSOs. Which PSOs
// are candidates (unused ones only, unless -override) is settled by the
// selection before this runs.
#include "directory/ldap_modify.h"
#include "operations/actions.h"
#include "operations/run_failure.h"
#include "support/output.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {

void RunDelete(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Delete");
  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No PSO's to delete with the specified criteria.");
    PrintLine("");
    return;
  }
  if (state.policies.size() > 1 && config.action == ActionCode::kDelete) {
    PrintLine("ERROR:");
    PrintLine(
        "ERROR: Single delete action specified but multiple polices match "
        "criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  if (config.forReal) {
    for (const auto& [key, policy] : state.policies)
      RequirePsoOfTheRun(state, policy.dn());
    PrintLine("Deleting PSO(s):");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("PSO(s) that would have been deleted had this been for real.");
  }
  for (const auto& [key, policy] : state.policies) {
    PrintLine("  DN:" + VisibleText(policy.dn()));
    if (!config.forReal) continue;
    // Deletions already made stay made; later ones are not tried.
    int code = LdapDelete(*state.mainConnection, policy.dn());
    if (code != 0) {
      FailLdapCall(state, "ERROR: ldap_delete_s (" + policy.dn() + "): ",
                   state.controllerName, code);
    }
  }
  if (config.forReal) PrintLine("PSO(s) successfully deleted.");
}

}  // namespace talvex
