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

// The filter terms of the PSOs the add's checks can find anything in: the
// one of the same name, those of the same precedence, and those with the
// same counts and switches (their durations are compared by the check
// itself). A domain's other PSOs need not be read.
std::vector<std::string> AddCheckTerms(const PolicyRecord& record);

}  // namespace talvex
