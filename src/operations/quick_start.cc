// The quick-start action: a PSO copy of each domain policy and a fixed pair
// of common PSOs, each skipped when it exists already so that the action can
// be run again safely.
#include "operations/quick_start.h"

#include <string>

#include "operations/actions.h"
#include "operations/add_pso.h"
#include "operations/pso_dn.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/text_case.h"
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

struct QuickStart {
  RunState& state;
  PolicyList existing;

  void Create(const std::string& name, const std::string& displayName,
              const PolicyRecord& source, int precedence) {
    std::string dn = PsoDn(name, state.serverInfo.defaultNamingContext);
    PrintLine("  " + VisibleText(dn));
    if (existing.count(LowerCase(dn)) != 0) {
      PrintLine("  WARN: Policy Name specified already exists. Skipping.");
      PrintLine("");
      return;
    }
    PolicyRecord record;
    record.SetIsPSO(true);
    record.SetDN(dn);
    record.SetName(name);
    record.SetDisplayName(displayName);
    // The DN holds the name escaped; the admin display name is the name.
    record.SetAdminDisplayName(name);
    CopySettings(record, source);
    record.SetPrecedence(std::to_string(precedence));

    if (state.config->forReal) {
      int code = AddPSO(record, *state.mainConnection);
      if (code != 0) {
        FailLdapCall(state,
                     "ERROR: ldap_add_s (" + dn + "): ", state.config->host,
                     code);
      }
      PrintLine("  PSO successfully created.");
    }
    PrintLine("");
    DisplayPolicy(record, "");
    PrintLine("");
    PrintLine("");
  }
};

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

  QuickStart run{.state = state, .existing = {}};
  const std::string& namingContext = state.serverInfo.defaultNamingContext;
  // Every PSO of the domain counts as existing, whatever -used or -unused
  // say: a skipped check would only turn into a refused add.
  int ldapError = 0;
  int systemError = 0;
  if (!GetPSOs(state.access, &run.existing, *state.mainConnection,
               namingContext, false, PsoSelection{}, &ldapError,
               &systemError)) {
    FailPsoRetrieval(state, ldapError, systemError,
                     /*treatNoSuchObjectAsNoMatch=*/false);
  }

  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No Domain Policies retrieved... this is quite odd.");
    PrintLine("");
  } else {
    for (const auto& [key, domainPolicy] : state.policies) {
      if (domainPolicy.isPSO()) continue;
      run.Create("DomPol_" + domainPolicy.domain(),
                 "TALVEX: Copy of Domain Policy for " + domainPolicy.domain(),
                 domainPolicy, domainPolicy.precedence() - 1);
    }
  }

  // Without the connected domain's policy (only after "No Domain Policies
  // retrieved") the pair is tightened against a record of zeros.
  PolicyRecord connectedDomain;
  auto found = state.policies.find(LowerCase(namingContext));
  if (found != state.policies.end()) connectedDomain = found->second;
  std::vector<PolicyRecord> pair;
  BuildQuickStartPSOs(&pair, connectedDomain);
  for (const PolicyRecord& pso : pair) {
    run.Create(pso.name(), pso.displayName(), pso, pso.precedence());
  }
}

}  // namespace talvex
