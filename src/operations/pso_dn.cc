#include "operations/pso_dn.h"

#include "directory/distinguished_name.h"

namespace talvex {

std::string PsoDn(const std::string& name, const std::string& domainDn) {
  return "CN=" + EscapeRdnValue(name) +
         ",CN=Password Settings Container,CN=System," + domainDn;
}

bool InPasswordSettingsContainer(const std::string& dn,
                                 const std::vector<std::string>& domainDns) {
  std::vector<std::string_view> rdns;
  if (!DistinguishedName::Split(dn, &rdns) || rdns.size() < 2) return false;
  // The parent: everything after the first RDN, as the DN writes it.
  std::string_view parent(dn);
  parent.remove_prefix(static_cast<std::size_t>(rdns[1].data() - dn.data()));
  for (const std::string& domainDn : domainDns) {
    if (SameDn(parent, "CN=Password Settings Container,CN=System," + domainDn))
      return true;
  }
  return false;
}

}  // namespace talvex
