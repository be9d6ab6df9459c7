// The modify action: writes the modify specification to the one selected
// policy and shows the policy as the directory holds it afterwards.
#include "operations/actions.h"
#include "operations/modify_policy.h"
#include "operations/run_failure.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/policy_display.h"
#include "policy/policy_rules.h"
#include "policy/policy_settings.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// Reads the policy at dn again into a fresh list; a failed read ends the
// run.
PolicyList ReadBack(RunState& state, const PolicyRecord& specification) {
  PolicyList fresh;
  int ldapError = 0;
  int systemError = 0;
  if (specification.isPSO()) {
    PsoSelection selection{.name = "*",
                           .usedOnly = state.config->usedOnly,
                           .unusedOnly = state.config->unusedOnly};
    if (!GetPSOs(state.access, &fresh, *state.mainConnection,
                 specification.dn(), false, selection, &ldapError,
                 &systemError)) {
      FailPsoRetrieval(state, ldapError, systemError);
    }
  } else {
    if (!GetDomGPOs(state.access, &fresh, state.domainDn, false,
                    state.domainList, &ldapError, &systemError)) {
      FailDomainPolicyRetrieval(state, ldapError, systemError);
    }
  }
  return fresh;
}

// The settings the server answered the change with success for but still
// holds as before, each as "label (written X, read back Y)". A setting that
// reads back unset or invalid cannot be compared and is left out.
std::vector<std::string> UnchangedSettings(const PolicyRecord& written,
                                           const PolicyRecord& readBack) {
  std::vector<std::string> unchanged;
  for (const PolicySetting& setting : PolicySettings()) {
    const bool held = written.isPSO() ? setting.psoAttribute != nullptr
                                      : (setting.domainAttribute != nullptr ||
                                         setting.propertiesBit != 0);
    if (!held || !written.IsSpecified(setting.id) ||
        readBack.IsUnset(setting.id) ||
        readBack.InvalidText(setting.id) != nullptr ||
        written.Value(setting.id) == readBack.Value(setting.id)) {
      continue;
    }
    unchanged.push_back(std::string(setting.label) + " (written " +
                        written.Text(setting.id) + ", read back " +
                        readBack.Text(setting.id) + ")");
  }
  return unchanged;
}

}  // namespace

// On a Windows domain the password settings of the domain head are written
// by the Default Domain Policy GPO at every Group Policy refresh, so a
// change made over LDAP is silently reverted within the next refresh.
void WarnGroupPolicyOwnsDomainPolicy() {
  PrintLine("");
  PrintLine("WARN:");
  PrintLine(
      "WARN: The Default Domain Policy GPO rewrites these settings at every "
      "Group Policy refresh;");
  PrintLine(
      "WARN: a change made here is reverted then. The domain password policy "
      "is kept in that GPO:");
  PrintLine("WARN: change it there to make the change last.");
  PrintLine("WARN:");
}

void RunModify(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Modify");
  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No PSO to modify with the specified criteria.");
    PrintLine("");
    return;
  }
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine(
        "ERROR: Can only modify one object at a time, be more specific with "
        "selection criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  const PolicyRecord& target = state.policies.begin()->second;
  // A change specification derives nothing from its DN.
  PolicyRecord specification = config.modSpec;
  specification.SetDN(target.dn());
  specification.SetRawProperties(target.rawProperties());
  // -pso marks the -mod values as a PSO's, but -allpwdpols (or -dompol
  // with -pso) may leave the domain policy as the one match: write the
  // attributes of what is being changed, never PSO attributes onto a domain
  // head.
  specification.SetIsPSO(target.isPSO());
  bool isPso = specification.isPSO();

  // A controller checks the policy as it will be after the change, so the
  // values left alone take part; refused here, nothing is written, with or
  // without -forreal.
  std::vector<std::string> broken =
      CheckChangedSettingPairs(target, specification);
  if (!broken.empty()) {
    PrintLine("ERROR:");
    for (const std::string& line : broken) PrintLine(line);
    PrintLine("ERROR: Values not given are those of " + target.dn());
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  if (config.forReal) {
    if (isPso) RequirePsoOfTheRun(state, specification.dn());
    PrintLine(isPso ? "Modifying PSO:" : "Modifying Domain Policy:");
    PrintLine("  " + VisibleText(specification.dn()));
    std::string dn = specification.dn();
    int code =
        ModifyPolicy(specification, *state.client, *state.mainConnection);
    if (code != 0) {
      FailLdapCall(state,
                   "ERROR: ldap_modify_s/ldap_rename_ext_s (" + dn + "): ",
                   state.controllerName, code);
    }
    PrintLine(isPso ? "PSO successfully updated."
                    : "Domain Policy successfully updated.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("DN to be modified had this been for real.");
    PrintLine("  " + VisibleText(specification.dn()));
  }

  if (!isPso) WarnGroupPolicyOwnsDomainPolicy();

  PrintLine("");
  PrintLine("Current Policy Settings - " + VisibleText(specification.dn()));
  // Without -forreal this shows what exists, not what would be written:
  // the policy as the selection read it, on the same controller, with the
  // same attributes. It is read again only where that read shows itself
  // (its debug lines).
  PolicyList fresh =
      config.forReal || Output().debugLevel >= 1
          ? ReadBack(state, specification)
          : PolicyList{*state.policies.begin()};
  if (!fresh.empty()) {
    DisplayPolicy(fresh.begin()->second, "");
    WarnUnsetOrInvalidSettings({&fresh.begin()->second});
  }
  PrintLine("");
  // A server may answer a modification with success and keep the old
  // values; the run must not end as a success then.
  if (config.forReal && !fresh.empty()) {
    std::vector<std::string> unchanged =
        UnchangedSettings(specification, fresh.begin()->second);
    if (!unchanged.empty()) {
      PrintLine("ERROR:");
      PrintLine("ERROR: The server reported the change as made, but " +
                VisibleText(specification.dn()) + " still holds:");
      for (const std::string& line : unchanged) PrintLine("ERROR:   " + line);
      PrintLine("ERROR:");
      FailRun(ldap_result::kLocalError);
    }
  }
}

}  // namespace talvex
