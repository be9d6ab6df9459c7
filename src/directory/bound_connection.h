// Opening and binding one LDAP connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "directory/ldap_client.h"

namespace talvex {

struct BindOptions {
  bool referrals = false;
  bool version3 = true;
  bool anonymous = false;
  std::string userId;  // DOMAIN\user, UPN, or DN (simple bind only)
  std::string password;
  bool simple = false;
  bool encrypt = false;
  bool extendedError = true;
  // SSL: the LDAPS ports (636, 3269) by default, and the connection is
  // under TLS from its first byte.
  bool ssl = false;
  // StartTLS on the ordinary ports before the bind; ignored with ssl.
  bool startTls = false;
  bool delegation = false;
  std::uint32_t locatorFlags = 0;
};

// Initialises a connection to host (optionally "name:port"), sets the
// options in their fixed order and binds. *portSelector: 0 standard port,
// 1 global catalog port, above 1 that port; on return the port used.
// Returns the bound connection, or null with *status set to the failing
// call's code (reported already).
//
// Under TLS (ssl or startTls) the connection is secured before the bind;
// a connection that cannot be secured is never bound in clear. A Kerberos
// bind carries its security strength in code, whatever ldap.conf says:
// sign and seal on plain connections; under TLS no SASL layer (Active
// Directory refuses one on top of TLS) but the TLS channel binding.
std::unique_ptr<LdapConnection> OpenLDAP(LdapClient& client,
                                         const std::string& host,
                                         int* portSelector,
                                         const BindOptions& options,
                                         int* status);

}  // namespace talvex
