// Where a Password Settings Object of a given name lives.
#pragma once

#include <string>
#include <vector>

namespace talvex {

// "CN=" + name + ",CN=Password Settings Container,CN=System," + domain DN.
// The name is escaped as an RDN value (RFC 4514), so that a name such as
// "a,OU=x" names one object in the container and not one somewhere else.
std::string PsoDn(const std::string& name, const std::string& domainDn);

// Whether dn names an object right inside the Password Settings Container
// of one of the domains (DNs).
bool InPasswordSettingsContainer(const std::string& dn,
                                 const std::vector<std::string>& domainDns);

}  // namespace talvex
