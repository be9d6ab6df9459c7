// Creating a Password Settings Object from a policy record.
#pragma once

#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "policy/policy_record.h"

namespace talvex {

// Sends the add of the record's DN with the thirteen attributes, and the
// objects it applies to when subjects names any (one request: the PSO
// never exists without them), and returns the LDAP result code; 34
// (invalid DN syntax) without contacting the server when the record has no
// DN.
int AddPSO(const PolicyRecord& record, LdapConnection& connection,
           const std::vector<std::string>& subjects = {});

}  // namespace talvex
