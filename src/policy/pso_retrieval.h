// Finding and reading Password Settings Objects.
#pragma once

#include <string>
#include <vector>

#include "directory/directory_access.h"
#include "directory/ldap_client.h"
#include "policy/policy_list.h"

namespace talvex {

struct PsoSelection {
  std::string name;  // -pso value; "" selects all
  bool usedOnly = false;
  bool unusedOnly = false;
  // Non-empty: only the PSOs of these DNs (name is then ignored), for a
  // caller that needs to know which of a few exist.
  std::vector<std::string> dns = {};
  // Non-empty (and no DNs): only the PSOs that match one of these filter
  // terms, each in its own parentheses (name is then ignored), for a caller
  // that needs to know about a few PSOs and not to read them all.
  std::vector<std::string> anyOf = {};
};

// The search filter for the selection, without its outer parentheses:
// the PSO class, narrowed to used or unused PSOs, then to a name (matched
// against name, adminDisplayName and displayName) or a DN (any text holding
// "dc="), or to the DNs listed, or to the terms listed. "*" in the name stays a wildcard.
std::string BuildPsoFilter(const PsoSelection& selection);

// Searches under base on the connection (a global catalog when
// globalCatalog, which re-reads each PSO from its own domain's controller)
// and enters one record per PSO. On failure returns false with *ldapError
// or *systemError set.
bool GetPSOs(DirectoryAccess& access, PolicyList* policies,
             LdapConnection& connection, const std::string& searchBase,
             bool globalCatalog, const PsoSelection& selection, int* ldapError,
             int* systemError);

// Sends the search of GetPSOs ahead (LdapSendAhead), for a GetPSOs on this
// connection that is not a global catalog's.
void SendPsoSearchAhead(LdapConnection& connection,
                        const std::string& searchBase,
                        const PsoSelection& selection);

}  // namespace talvex
