// How actions end a run that failed, and the texts they share.
#pragma once

#include <string>

#include "operations/run_state.h"

namespace talvex {

// The three-line "***This is not for real, -forreal not specified.***"
// banner.
void PrintNotForRealBanner();

// Plain line "\nThe command did not complete successfully.\n" and the end of
// the run with the code.
[[noreturn]] void FailRun(int code);

// Ends the run, before any request, when a write is about to go to an object
// that is not a PSO of the run: right inside the Password Settings Container
// of a domain of the forest. The lists come from the server, and what a
// broken or hostile server lists must never be what gets deleted or changed.
void RequirePsoOfTheRun(const RunState& state, const std::string& dn);

// Reports a failed LDAP call (label, server text, code, with the main
// connection's extended error) and ends the run through FailRun.
[[noreturn]] void FailLdapCall(RunState& state, const std::string& label,
                               const std::string& server, int code);

// Framed failure reports of the two retrieval routines, ending the run:
// "ERROR:", the LDAP report (label "ERROR: GetPSOs (LDAP): " /
// "ERROR: GetDomGPOs (LDAP): ") or the system report ("ERROR: GetPSOs " /
// "ERROR: GetDomGPOs "), "ERROR:", "\nThe command did not complete
// successfully." and the exit. GetPSOs code 32 reads "No matching PSOs
// found." unless treatNoSuchObjectAsNoMatch is false.
[[noreturn]] void FailPsoRetrieval(RunState& state, int ldapError,
                                   int systemError,
                                   bool treatNoSuchObjectAsNoMatch = true);
[[noreturn]] void FailDomainPolicyRetrieval(RunState& state, int ldapError,
                                            int systemError);
// The same framed report for the forest domain list (label
// "ERROR: GetDomainList (LDAP): "), ending with the LDAP code.
[[noreturn]] void FailDomainListRetrieval(RunState& state, int ldapError);

}  // namespace talvex
