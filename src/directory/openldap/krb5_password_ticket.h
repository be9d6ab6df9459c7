// A Kerberos ticket obtained from an account's password, held in a private
// in-memory credential cache, for one negotiated bind with explicit
// credentials. The user's own ticket cache is never read or written, and
// nothing reaches a file.
#pragma once

#include <gssapi/gssapi.h>

#include <string>
#include <string_view>

#include "directory/openldap/krb5_handles.h"

namespace talvex {

// The Kerberos client principal for an account given to a negotiated bind.
struct Krb5ClientName {
  std::string text;         // "alice@CORP.EXAMPLE.COM", or a UPN as given
  bool enterprise = false;  // a UPN: sent as an enterprise principal
  std::string realm;        // the realm whose KDC is asked
};

// user and domain as split from DOMAIN\user (domain empty otherwise).
// contactedRealm: the upper-cased DNS name of the domain of the server
// being bound to.
//   user@something           -> enterprise principal, asked of contactedRealm
//   dns.domain\user          -> user@DNS.DOMAIN
//   FLAT\user or plain user  -> user@contactedRealm (a NetBIOS name is not
//                               a realm)
Krb5ClientName KerberosClientName(std::string_view user,
                                  std::string_view domain,
                                  std::string_view contactedRealm);

// Maps a Kerberos error of the initial-ticket exchange to the LDAP result
// code a failed bind reports: account and password faults become 49
// (invalid credentials), everything else a local error (-2).
int LdapCodeForKerberosError(krb5_error_code code);

class Krb5PasswordTicket {
 public:
  Krb5PasswordTicket() = default;
  Krb5PasswordTicket(const Krb5PasswordTicket&) = delete;
  Krb5PasswordTicket& operator=(const Krb5PasswordTicket&) = delete;

  // Gets a ticket-granting ticket for the client with the password and
  // acquires GSS-API initiator credentials from it. Returns an LDAP result
  // code (0 on success); on failure *diagnostic holds the Kerberos or
  // GSS-API text. The password is only read, never copied.
  int Obtain(const Krb5ClientName& client, const std::string& password,
             std::string* diagnostic);

  // Valid after a successful Obtain, until this object is destroyed.
  gss_cred_id_t Credential() const { return credential_.get(); }

 private:
  // Declared in the order of use: released in reverse, so the credential
  // goes before the cache it refers to, and the cache before its context.
  Krb5Context context_;
  Krb5MemoryCache cache_;
  GssCredential credential_;
};

}  // namespace talvex
