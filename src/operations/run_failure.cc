#include "operations/run_failure.h"

#include "directory/ldap_client.h"
#include "directory/ldap_error_report.h"
#include "operations/pso_dn.h"
#include "support/visible_text.h"
#include "support/output.h"
#include "support/run_exit.h"

namespace talvex {
namespace {

// The closing sentence of the retrieval failures has no trailing empty line,
// unlike the one FailRun writes after an action's failed call.
constexpr char kRetrievalFailed[] =
    "\nThe command did not complete successfully.";

// The retrieval routines do not say which server failed them; the report
// names the run's controller and carries the main connection's diagnostic.
[[noreturn]] void FailRetrieval(RunState& state, const std::string& ldapLabel,
                                const std::string& systemPrefix, int ldapError,
                                int systemError) {
  PrintLine("ERROR:");
  int code = ldapError;
  if (ldapError != 0) {
    ReportLdapError(*state.client, ldapLabel, state.controllerName, ldapError,
                    state.mainConnection);
  } else {
    PrintSystemError(systemPrefix, systemError);
    // A failure must never end with the success code.
    code = systemError != 0 ? systemError : 1;
  }
  PrintLine("ERROR:");
  PrintLine(kRetrievalFailed);
  EndRun(code);
}

}  // namespace

void PrintNotForRealBanner() {
  PrintLine("***************************************************");
  PrintLine("***This is not for real, -forreal not specified.***");
  PrintLine("***************************************************");
}

void RequirePsoOfTheRun(const RunState& state, const std::string& dn) {
  if (InPasswordSettingsContainer(dn, state.domainList)) return;
  PrintLine("ERROR:");
  PrintLine("ERROR: " + VisibleText(dn));
  PrintLine(
      "ERROR: is not in the Password Settings Container of a domain of this "
      "forest; nothing was written to it.");
  PrintLine("ERROR:");
  FailRun(ldap_result::kLocalError);
}

void FailRun(int code) {
  PrintLine("\nThe command did not complete successfully.\n");
  EndRun(code);
}

void FailLdapCall(RunState& state, const std::string& label,
                  const std::string& server, int code) {
  ReportLdapError(*state.client, label, server, code, state.mainConnection);
  FailRun(code);
}

void FailPsoRetrieval(RunState& state, int ldapError, int systemError,
                      bool treatNoSuchObjectAsNoMatch) {
  if (ldapError == ldap_result::kNoSuchObject && treatNoSuchObjectAsNoMatch) {
    PrintLine("ERROR:");
    PrintLine("ERROR: No matching PSOs found.");
    PrintLine("ERROR:");
    PrintLine(kRetrievalFailed);
    EndRun(ldapError);
  }
  FailRetrieval(state, "ERROR: GetPSOs (LDAP): ", "ERROR: GetPSOs ", ldapError,
                systemError);
}

void FailDomainPolicyRetrieval(RunState& state, int ldapError,
                               int systemError) {
  FailRetrieval(state, "ERROR: GetDomGPOs (LDAP): ", "ERROR: GetDomGPOs ",
                ldapError, systemError);
}

void FailDomainListRetrieval(RunState& state, int ldapError) {
  FailRetrieval(state, "ERROR: GetDomainList (LDAP): ", "ERROR: GetDomainList ",
                ldapError, 0);
}

}  // namespace talvex
