#include "directory/platform_client.h"

#include <signal.h>

#include "directory/openldap/dns_dc_locator.h"
#include "directory/openldap/openldap_client.h"

namespace talvex {

std::unique_ptr<LdapClient> MakePlatformLdapClient() {
  // libldap writes to its sockets with plain write(2): a write to a
  // connection the server has closed (the unbind after a refused StartTLS)
  // would end the process with SIGPIPE, without the run's closing line.
  // Ignored, the write fails with EPIPE and the caller sees the error code.
  signal(SIGPIPE, SIG_IGN);
  return MakeOpenLdapClient();
}

std::unique_ptr<DcLocator> MakePlatformDcLocator() {
  return MakeDnsDcLocator();
}

}  // namespace talvex
