// The LDAP client seam over OpenLDAP libldap/liblber, with negotiated binds
// through Cyrus SASL GSSAPI and MIT Kerberos.
#pragma once

#include <memory>

#include "directory/ldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakeOpenLdapClient();

}  // namespace talvex
