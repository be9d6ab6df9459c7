// The quick-start action: a PSO copy of each domain policy and a fixed pair
// of common PSOs, each skipped when it exists already so that the action can
// be run again safely.
#include "operations/quick_start.h"

#include <string>

#include "operations/actions.h"
#include "operations/add.h"
#include "operations/pso_dn.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "policy/policy_rules.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The tighten step comes at a different point for each of the pair, and the
// point decides the result: the administrators PSO lets a stricter domain
// lower its maximum age, the service accounts PSO never locks out and keeps
// its passwords a year whatever the domain says.
PolicyRecord AdminPSO(const PolicyRecord& domainPolicy) {
  PolicyRecord admin(true);
  admin.SetName("pwd_policy_admin");
  admin.SetDisplayName("TALVEX: Admin Password Policy");
  admin.SetMaxPwdAge("35");
  admin.SetPrecedence("100");
  Tighten(admin, domainPolicy);
  return admin;
}

PolicyRecord ServicePSO(const PolicyRecord& domainPolicy) {
  PolicyRecord service(true);
  service.SetName("pwd_policy_serviceid");
  service.SetDisplayName("TALVEX: Service ID Password Policy");
  Tighten(service, domainPolicy);
  service.SetMaxPwdAge("364");
  service.SetLockoutThreshold("0");
  service.SetLockoutDuration("0");
  service.SetLockoutObservation("0");
  service.SetPrecedence("100");
  return service;
}

// One PSO of the starter set as it would be created.
PolicyRecord PlannedPSO(const RunState& state, const std::string& name,
                        const std::string& displayName,
                        const PolicyRecord& source, int precedence) {
  PolicyRecord record;
  record.SetIsPSO(true);
  record.SetDN(PsoDn(name, state.serverInfo.defaultNamingContext));
  record.SetName(name);
  record.SetDisplayName(displayName);
  // The DN holds the name escaped; the admin display name is the name.
  record.SetAdminDisplayName(name);
  CopySettings(record, source);
  record.SetPrecedence(std::to_string(precedence));
  return record;
}

bool Exists(const PolicyList& existing, const PolicyRecord& record) {
  return existing.count(LowerCase(record.dn())) != 0;
}

// The settings come from the domain policies, which a Samba domain may hold
// in a form a Windows controller would refuse as a PSO; every PSO to be
// created is checked before the first is written, so that a refusal leaves
// the domain as it was.
void CheckPlannedPSOs(const std::vector<PolicyRecord>& planned,
                      const PolicyList& existing) {
  std::vector<std::string> lines;
  for (const PolicyRecord& record : planned) {
    if (Exists(existing, record)) continue;
    std::vector<std::string> broken = CheckPolicyRules(record);
    if (broken.empty()) continue;
    lines.insert(lines.end(), broken.begin(), broken.end());
    lines.push_back("ERROR: Policy Setting object - " + record.name() + " (" +
                    record.dn() + ")");
  }
  if (lines.empty()) return;
  PrintLine("ERROR:");
  for (const std::string& line : lines) PrintLine(line);
  PrintLine("ERROR: No PSO was created.");
  PrintLine("ERROR:");
  ShowUsageHint();
}

void CreatePSO(RunState& state, const PolicyList& existing,
               const PolicyRecord& record) {
  const std::string& dn = record.dn();
  PrintLine("  " + VisibleText(dn));
  if (Exists(existing, record)) {
    PrintLine("  WARN: Policy Name specified already exists. Skipping.");
    PrintLine("");
    return;
  }
  if (state.config->forReal) {
    int code = AddPSO(record, *state.mainConnection);
    if (code != 0) {
      FailLdapCall(state,
                   "ERROR: ldap_add_s (" + dn + "): ", state.controllerName,
                   code);
    }
    PrintLine("  PSO successfully created.");
  }
  PrintLine("");
  DisplayPolicy(record, "");
  PrintLine("");
  PrintLine("");
}

}  // namespace

void BuildQuickStartPSOs(std::vector<PolicyRecord>* list,
                         const PolicyRecord& domainPolicy) {
  list->push_back(AdminPSO(domainPolicy));
  list->push_back(ServicePSO(domainPolicy));
}

void RunQuickStart(RunState& state) {
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Quick Start");
  if (state.config->forReal) {
    PrintLine("Creating new PSOs:");
  } else {
    PrintNotForRealBanner();
    PrintLine("PSOs that would have been created had this been for real.");
    PrintLine("");
  }

  const std::string& namingContext = state.serverInfo.defaultNamingContext;
  std::vector<PolicyRecord> planned;
  for (const auto& [key, domainPolicy] : state.policies) {
    if (domainPolicy.isPSO()) continue;
    planned.push_back(
        PlannedPSO(state, "DomPol_" + domainPolicy.domain(),
                   "TALVEX: Copy of Domain Policy for " + domainPolicy.domain(),
                   domainPolicy, domainPolicy.precedence() - 1));
  }
  // Without the connected domain's policy (only after "No Domain Policies
  // retrieved") the pair is tightened against a record of zeros.
  PolicyRecord connectedDomain;
  auto found = state.policies.find(LowerCase(namingContext));
  if (found != state.policies.end()) connectedDomain = found->second;
  std::vector<PolicyRecord> pair;
  BuildQuickStartPSOs(&pair, connectedDomain);
  for (const PolicyRecord& pso : pair) {
    planned.push_back(PlannedPSO(state, pso.name(), pso.displayName(), pso,
                                 pso.precedence()));
  }

  // Every PSO of the domain counts as existing, whatever -used or -unused
  // say: a skipped check would only turn into a refused add. Only the
  // planned DNs matter, and they are all that is asked for, unless the
  // debug lines list every PSO the read finds.
  PsoSelection selection;
  if (Output().debugLevel < 1) {
    for (const PolicyRecord& record : planned)
      selection.dns.push_back(record.dn());
  }
  PolicyList existing;
  int ldapError = 0;
  int systemError = 0;
  if (!GetPSOs(state.access, &existing, *state.mainConnection, namingContext,
               false, selection, &ldapError, &systemError)) {
    FailPsoRetrieval(state, ldapError, systemError,
                     /*treatNoSuchObjectAsNoMatch=*/false);
  }
  CheckPlannedPSOs(planned, existing);

  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No Domain Policies retrieved... this is quite odd.");
    PrintLine("");
  }
  for (const PolicyRecord& record : planned) {
    CreatePSO(state, existing, record);
  }
}

}  // namespace talvex
