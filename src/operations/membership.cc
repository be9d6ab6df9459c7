// Adding, removing and clearing the objects a Password Settings Object
// applies to (its msDS-PSOAppliesTo values).
#include <string>

#include "directory/ldap_modify.h"
#include "directory/ldap_search.h"
#include "operations/actions.h"
#include "operations/object_filter.h"
#include "operations/run_failure.h"
#include "support/output.h"
#include "support/usage_hint.h"

namespace talvex {
namespace {

constexpr char kAppliesTo[] = "msDS-PSOAppliesTo";

// True when there is exactly one PSO to work on; prints the empty-selection
// text and returns false when there is none.
bool HasSelectedPso(const RunState& state) {
  if (!state.policies.empty()) return true;
  PrintLine("");
  PrintLine("No PSO found matching specified criteria.");
  PrintLine("");
  return false;
}

std::string FindObjectDn(RunState& state, const std::string& value) {
  return GetDN(*state.mainConnection, state.serverInfo.defaultNamingContext,
               "subtree", ObjectFilter(value));
}

void FailModify(RunState& state, const std::string& psoDn, int status) {
  FailLdapCall(state,
               "ERROR: ldap_modify_s (" + psoDn + "): ", state.config->host,
               status);
}

}  // namespace

void RunApplyTo(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1)
    PrintDebugLine("Operation: ApplyTo / UnApplyTo");
  if (!HasSelectedPso(state)) return;
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Can only apply a single PSO to an object at a time.");
    PrintLine("ERROR: " + std::to_string(state.policies.size()) +
              " PSOs returned with specified criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  const std::string& psoDn = state.policies.begin()->second.dn();

  std::string objectDn = FindObjectDn(state, config.memberTarget);
  if (objectDn.empty()) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Invalid object for this PSO. (" + config.memberTarget +
              ")");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  if (config.forReal) {
    PrintLine("Applying PSO " + psoDn);
    PrintLine("to object " + objectDn);
    bool add = config.action == ActionCode::kApplyTo;
    int status = LdapSetValues(*state.mainConnection, psoDn, kAppliesTo,
                               {objectDn}, add);
    if (status != 0) FailModify(state, psoDn, status);
    PrintLine("PSO successfully updated.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("Modification to make had this been for real.");
    PrintLine("  " + psoDn);
  }
  PrintLine("");
}

void RunClearApplied(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Clear Applied");
  if (!HasSelectedPso(state)) return;
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine("ERROR: -clearapplied only allowed on single PSO.");
    PrintLine("ERROR: More specifically specify a PSO - use DN");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  const std::string& psoDn = state.policies.begin()->second.dn();

  if (config.forReal) {
    PrintLine("Clearing PSO " + psoDn);
    int status = LdapClearAttribs(*state.mainConnection, psoDn, {kAppliesTo});
    if (status != 0) FailModify(state, psoDn, status);
    PrintLine("PSO successfully updated.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine(
        "PSO to have clear applied to members from had this been for real.");
    PrintLine("  " + psoDn);
  }
  PrintLine("");
}

}  // namespace talvex
