// Writing a modify specification to a PSO or to a domain's policy.
#pragma once

#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "policy/policy_record.h"

namespace talvex {

// One "attribute:value" line per setting named in the -mod values, in a
// fixed order; for a domain policy complexity and reversible encryption
// become one line of the properties attribute, last, that keeps every other bit
// of the record's raw properties.
std::vector<std::string> PolicyChangeLines(const PolicyRecord& record);

// Writes the change lines to the record's DN and then, for a PSO whose
// specification names a new name, renames it; on a successful rename the
// record's DN becomes the new DN. A failed modification is returned at once
// and nothing is renamed. Returns the LDAP result code; 34 for a record
// without a DN.
int ModifyPolicy(PolicyRecord& record, LdapClient& client,
                 LdapConnection& connection);

// The warning of a change to a domain's policy: on Windows the Default
// Domain Policy GPO owns those settings (defined with the modify action).
void WarnGroupPolicyOwnsDomainPolicy();

}  // namespace talvex
