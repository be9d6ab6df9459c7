// The LDAP client seam over the Windows LDAP client (wldap32), through its
// wide-character calls.
#pragma once

#include <memory>

#include "directory/ldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakeWldapClient();

}  // namespace talvex
