#include "operations/pso_dn.h"

#include "directory/distinguished_name.h"

namespace talvex {

std::string PsoDn(const std::string& name, const std::string& domainDn) {
  return "CN=" + EscapeRdnValue(name) +
         ",CN=Password Settings Container,CN=System," + domainDn;
}

}  // namespace talvex
