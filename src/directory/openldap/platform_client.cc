#include "directory/platform_client.h"

#include "directory/openldap/dns_dc_locator.h"
#include "directory/openldap/openldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakePlatformLdapClient() {
  return MakeOpenLdapClient();
}

std::unique_ptr<DcLocator> MakePlatformDcLocator() {
  return MakeDnsDcLocator();
}

}  // namespace talvex
