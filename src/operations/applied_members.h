// The objects a Password Settings Object applies to, one line each.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/pso_subject.h"

namespace talvex {

// What the member is, as a PSO's subject (its classes and group type).
PsoSubject Subject(const Record& member);
// False for a group the PSO has no effect on (not a global security
// group); other objects count as taking effect here, the link having been
// refused for them when it was made.
bool TakesEffect(const Record& member);

// Whether the member's resultant PSO is this PSO; empty when the member has
// none (objects that are not users).
std::optional<bool> ResultantIsPso(const Record& member,
                                   const std::string& psoDn);

// One member line: the resultant flag ("+" this PSO wins for the user, "-"
// another one does, " " not a user), "[class]" padded to 18, the DN, the
// account name and UPN in parentheses, a mark for groups with members and
// one for groups the PSO has no effect on.
std::string FormatMemberLine(const Record& member, const std::string& psoDn);

// The objects whose msDS-PSOApplied names the PSO, one member line each, in
// the order the server returns them. Returns the search's LDAP result code.
int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::string& psoDn,
                      std::vector<std::string>* lines);

// Member lines by lower-cased PSO DN, each list in the order the server
// returned the objects.
using AppliedMembersByPso = std::map<std::string, std::vector<std::string>>;

// Called after each page of objects read, with the count read so far.
using AppliedProgress = std::function<void(std::size_t objectsRead)>;

// The members of several PSOs with one paged search under searchBase: the
// objects whose msDS-PSOApplied names one of psoDns, each filed under every
// PSO of psoDns it names. A PSO nothing applies to has no entry. Returns
// the search's LDAP result code.
int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::vector<std::string>& psoDns,
                      AppliedMembersByPso* members,
                      const AppliedProgress& progress = nullptr);

// The same objects as records, for callers that format them themselves;
// extraAttributes are read beside those the member line needs.
using AppliedMemberRecordsByPso = std::map<std::string, RecordSet>;
int GetAppliedMemberRecords(LdapConnection& connection,
                            const std::string& searchBase,
                            const std::vector<std::string>& psoDns,
                            AppliedMemberRecordsByPso* members,
                            const AttributeSet& extraAttributes = {});

}  // namespace talvex
