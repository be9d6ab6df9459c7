// Opening and binding one LDAP connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "directory/ldap_client.h"

namespace talvex {

struct OpenLdapOptions {
  bool referrals = false;
  bool version3 = true;
  bool anonymous = false;
  std::string userId;    // DOMAIN\user, UPN, or DN (simple bind only)
  std::string password;
  bool simple = false;
  bool encrypt = false;
  bool extendedError = true;
  bool ssl = false;
  bool delegation = false;
  std::uint32_t locatorFlags = 0;
};

// Initialises a connection to host (optionally "name:port"), sets the
// options in their fixed order and binds. *portSelector: 0 standard port,
// 1 global catalog port, above 1 that port; on return the port used.
// Returns the bound connection, or null with *status set to the failing
// call's code (reported already).
std::unique_ptr<LdapConnection> OpenLDAP(LdapClient& client,
                                         const std::string& host,
                                         int* portSelector,
                                         const OpenLdapOptions& options,
                                         int* status);

}  // namespace talvex
