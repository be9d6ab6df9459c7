// Active Directory search features by keyword, as server controls.
#pragma once

#include <vector>

#include "directory/ldap_client.h"
#include "directory/ldap_search.h"

namespace talvex {

// Keywords: "SHOWDEL" (deleted objects), "STATS" (search statistics),
// "EXTNAME" (extended DNs), "PHANTOMROOT" (phantom-root search), "ASQ"
// (attribute-scoped query over the attribute named by its value), and
// "SD-OWNER", "SD-GROUP", "SD-DACL", "SD-SACL", "SD-NOSACL" (one security
// descriptor flags control). Every control is critical. Keys that are no
// keyword add nothing.
std::vector<LdapControl> SetLDAPControls(const ControlMap& keywords);

// The BER (DER) encodings of the control values: "{i}" and "{s}", made by
// the platform's LDAP library; "" when it cannot encode.
std::string EncodeIntegerSequence(int value);
std::string EncodeOctetStringSequence(const std::string& value);

}  // namespace talvex
