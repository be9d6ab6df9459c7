// Placeholder until the platform implementations land.
#include "directory/dns_dc_locator.h"
#include "directory/openldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakeOpenLdapClient() { return nullptr; }
std::unique_ptr<DcLocator> MakeDnsDcLocator() { return nullptr; }

}  // namespace talvex
