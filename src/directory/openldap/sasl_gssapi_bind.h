// The SASL GSSAPI bind (Kerberos through Cyrus SASL) on a libldap handle.
#pragma once

#include <gssapi/gssapi.h>
#include <ldap.h>

#include <string>

namespace talvex {

// Binds with SASL GSSAPI. With GSS_C_NO_CREDENTIAL the process's own ticket
// cache is used (the Linux form of "the current logon"); otherwise exactly
// the given credential, never the default cache. Returns the LDAP result
// code; on a failure found on our side *diagnostic gets its text (libldap
// keeps the server's or SASL's text on the handle otherwise).
int SaslGssapiBind(LDAP* ld, gss_cred_id_t credential, std::string* diagnostic);

}  // namespace talvex
