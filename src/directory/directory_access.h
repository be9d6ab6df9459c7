// What a run needs to reach the controllers of further domains.
#pragma once

#include <string>

#include "directory/connection_cache.h"
#include "directory/dc_locator.h"
#include "directory/ldap_client.h"

namespace talvex {

struct DirectoryAccess {
  LdapClient* client = nullptr;
  DcLocator* locator = nullptr;
  ConnectionCache* cache = nullptr;
  std::string locatorComputer;  // the run's -h: where locates run
  int portSelector = 0;
  std::string userId;
  std::string password;
  bool simpleBind = false;
  // The run's TLS choice, for every connection it opens (controllers of
  // other domains and the global catalog alike).
  bool ssl = false;
  bool startTls = false;
};

// Locates a writable controller of the domain (DNS name, flags 0x21010) and
// returns its connection from the cache, opening and entering one when the
// cache has none. Writes the debug lines of that walk. On failure returns
// null with *systemError (locator) or *ldapError (open/bind) set.
LdapConnection* ConnectToDomainController(DirectoryAccess& access,
                                          const std::string& dnsName,
                                          int* ldapError, int* systemError);

}  // namespace talvex
