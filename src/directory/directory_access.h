// What a run needs to reach the controllers of further domains.
#pragma once

#include <memory>
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
  // Set once the password is wiped after the run's last bind.
  bool passwordForgotten = false;
  // The run's TLS choice, for every connection it opens (controllers of
  // other domains and the global catalog alike).
  bool ssl = false;
  bool startTls = false;
};

// Wipes the password once no further bind can come; a connection opened
// after that is refused (local error) rather than bound without it, which
// would count a bad password or go out as an unauthenticated bind.
void ForgetPassword(DirectoryAccess& access);

// What a located controller serves the run as: the domain (its writable
// directory, on the run's port) or the forest's global catalog (the global
// catalog port).
enum class ControllerRole { kDomainController, kGlobalCatalog };

// Opens and binds the connection to a located controller with the run's
// credentials and TLS choice, after the debug line that announces it.
// Every connection of a run is opened here. Refused (local error) once the
// password is forgotten; on failure returns null with *status set to
// OpenLDAP's.
std::unique_ptr<LdapConnection> OpenLocatedController(
    const DirectoryAccess& access, const std::string& host, ControllerRole role,
    int* status);

// The locator flags of a writable controller of a domain asked for by its DNS
// name (0x21010), even when the name has a single label ("corp"), which must
// not be asked for as a NetBIOS name.
constexpr std::uint32_t kDnsDomainControllerFlags =
    locator_flags::kDirectoryServiceRequired |
    locator_flags::kWritableRequired | locator_flags::kIsDnsName;

// Locates a writable controller of the domain (DNS name, flags 0x21010) and
// returns its connection from the cache, opening and entering one when the
// cache has none. Writes the debug lines of that walk. On failure returns
// null with *systemError (locator) or *ldapError (open/bind) set.
LdapConnection* ConnectToDomainController(DirectoryAccess& access,
                                          const std::string& dnsName,
                                          int* ldapError, int* systemError);

}  // namespace talvex
