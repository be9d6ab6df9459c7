// Reading the password policy of one domain or of every domain.
#pragma once

#include <string>
#include <vector>

#include "directory/directory_access.h"
#include "policy/policy_list.h"

namespace talvex {

// Enters one record per domain read into *policies. On failure returns
// false with *ldapError (open/search) or *systemError (locator) set.
bool GetDomGPOs(DirectoryAccess& access, PolicyList* policies,
                const std::string& domainDn, bool allDomains,
                std::vector<std::string> domainList, int* ldapError,
                int* systemError);

// Sends the read of one domain's policy ahead (LdapSendAhead), for a
// GetDomGPOs of that domain alone on this connection.
void SendDomainPolicyAhead(LdapConnection& connection,
                           const std::string& domainDn);

}  // namespace talvex
