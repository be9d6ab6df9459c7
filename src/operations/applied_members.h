// The objects a Password Settings Object applies to, one line each.
#pragma once

#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "directory/record_set.h"

namespace talvex {

// One member line: the resultant flag ("+" this PSO wins for the user, "-"
// another one does, " " not a user), "[class]" padded to 18, the DN, the
// account name and UPN in parentheses, and a mark for groups with members.
std::string FormatMemberLine(const Record& member, const std::string& psoDn);

// Searches the subtree under searchBase for the objects whose
// msDS-PSOApplied names the PSO and appends one line per object, in the
// order the server returns them. Returns the search's LDAP result code.
int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::string& psoDn,
                      std::vector<std::string>* lines);

}  // namespace talvex
