// Small conversions of distinguished names.
#pragma once

#include <string>

namespace talvex {

// The RDN at the index, with its type ("CN=pso1"); "" when there is none.
std::string GetDNPart(const std::string& dn, int index);
// "CN=x,DC=Corp,DC=Example,DC=Com" -> "corp.example.com".
std::string DNToDNSName(const std::string& dn);
// "DC=corp,DC=example,DC=com" -> "DC=com,DC=example,DC=corp".
std::string ReverseDN(const std::string& dn);

}  // namespace talvex
