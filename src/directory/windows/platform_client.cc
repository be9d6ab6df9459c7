#include "directory/platform_client.h"

#include "directory/windows/ds_dc_locator.h"
#include "directory/windows/wldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakePlatformLdapClient() {
  return MakeWldapClient();
}

std::unique_ptr<DcLocator> MakePlatformDcLocator() {
  return MakeDsDcLocator();
}

}  // namespace talvex
