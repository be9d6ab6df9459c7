// Changing the directory: delete, rename, replace/clear attributes, add or
// remove single values, clear named attributes.
#pragma once

#include <string>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

int LdapDelete(LdapConnection& connection, const std::string& dn);
// newName: the new value of the first RDN, whose type is kept (RenamedRdn).
int LdapRename(LdapConnection& connection, const std::string& dn,
               const std::string& newName);
// items: "attribute:value"; an empty value clears the attribute. Reports its
// own failure (label "LDAP_MODIFY_SW") unless quiet.
int LdapModify(LdapClient& client, LdapConnection& connection,
               const std::string& dn, const std::vector<std::string>& items);
int LdapSetValues(LdapConnection& connection, const std::string& dn,
                  const std::string& attribute,
                  const std::vector<std::string>& values, bool add);
std::vector<std::string> LdapGetAttrNames(LdapConnection& connection,
                                          const std::string& dn);
int LdapClearAttribs(LdapConnection& connection, const std::string& dn,
                     const std::vector<std::string>& attributes);

}  // namespace talvex
