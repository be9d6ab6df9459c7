// The platform's own LDAP client and domain-controller locator, as the
// build chose them: libldap with DNS/CLDAP on Linux, wldap32 with
// DsGetDcNameW on Windows.
#pragma once

#include <memory>

#include "directory/dc_locator.h"
#include "directory/ldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakePlatformLdapClient();
std::unique_ptr<DcLocator> MakePlatformDcLocator();

}  // namespace talvex
