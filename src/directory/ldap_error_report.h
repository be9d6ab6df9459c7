// The one report of a failed LDAP call.
#pragma once

#include <string>

#include "directory/ldap_client.h"

namespace talvex {

// Writes "<label>: [<server>] Error 0x<hex> (<dec>) - <client text>\n" to
// standard error and, when a connection is given and the code is not 0, the
// line "Extended Error: <server diagnostic>\n". An empty server text with a
// connection shows the connection's host name.
void ReportLdapError(LdapClient& client, const std::string& label,
                     const std::string& server, int code,
                     LdapConnection* connection);

// An answer that breaks the protocol's rules (ranges that go backwards, a
// search that never ends) in a block of its own: "ERROR:", "ERROR: " +
// problem, "ERROR:". The operation then fails with the local-error code,
// which its caller reports as it reports every failed call.
void ReportServerFault(const std::string& problem);
// The same as a warning block: the run goes on without what the server got
// wrong.
void ReportServerWarning(const std::string& problem);

}  // namespace talvex
