// Creating a Password Settings Object from a policy record.
#pragma once

#include "directory/ldap_client.h"
#include "policy/policy_record.h"

namespace talvex {

// Sends the add of the record's DN with the thirteen attributes and returns
// the LDAP result code; 34 (invalid DN syntax) without contacting the server
// when the record has no DN.
int AddPSO(const PolicyRecord& record, LdapConnection& connection);

}  // namespace talvex
