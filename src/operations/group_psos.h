// The PSOs that reach an object through the groups it belongs to.
#pragma once

#include <string>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

struct GroupPso {
  std::string psoDn;
  std::string groupDn;  // the group the PSO names
};

// Walks the object's memberOf links, nested groups included, and collects
// every msDS-PSOApplied value of those groups that lie under searchBase (a
// PSO takes effect only in its own domain). Each group is read once, so a
// membership loop ends. Returns the LDAP result code of the first failed
// search, else 0.
int FindGroupPsos(LdapConnection& connection, const std::string& searchBase,
                  const std::string& objectDn, std::vector<GroupPso>* found);

}  // namespace talvex
