// The default realm of this machine's Kerberos configuration.
#pragma once

#include <string>

namespace talvex {

// The configured default realm ("CORP.EXAMPLE.COM"), or "" when there is no
// Kerberos configuration or it names none.
std::string KerberosDefaultRealm();

}  // namespace talvex
