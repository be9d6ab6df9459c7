// Creating a Password Settings Object from a policy record.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "directory/ldap_client.h"
#include "policy/policy_record.h"

namespace talvex {

// The thirteen attributes of a new PSO with their single values, in
// ascending order of attribute name (case-sensitive).
std::vector<std::pair<std::string, std::string>> PsoAddAttributes(
    const PolicyRecord& record);

// Sends the add of the record's DN with the thirteen attributes and returns
// the LDAP result code; 34 (invalid DN syntax) without contacting the server
// when the record has no DN.
int AddPSO(const PolicyRecord& record, LdapConnection& connection);

}  // namespace talvex
