// The objects a Password Settings Object applies to, one line each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "directory/record_set.h"

namespace talvex {

// Whether the member's resultant PSO is this PSO; empty when the member has
// none (objects that are not users).
std::optional<bool> ResultantIsPso(const Record& member,
                                   const std::string& psoDn);

// One member line: the resultant flag ("+" this PSO wins for the user, "-"
// another one does, " " not a user), "[class]" padded to 18, the DN, the
// account name and UPN in parentheses, and a mark for groups with members.
std::string FormatMemberLine(const Record& member, const std::string& psoDn);

// Searches the subtree under searchBase for the objects whose
// msDS-PSOApplied names the PSO and appends their records, in the order the
// server returns them. Returns the search's LDAP result code.
int SearchAppliedMembers(LdapConnection& connection,
                         const std::string& searchBase,
                         const std::string& psoDn, RecordSet* members);

// SearchAppliedMembers, one member line per object.
int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::string& psoDn,
                      std::vector<std::string>* lines);

}  // namespace talvex
