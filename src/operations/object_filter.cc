#include "operations/object_filter.h"

#include "directory/ldap_filter.h"
#include "support/text_case.h"

namespace talvex {

std::string ObjectFilter(const std::string& value) {
  std::string escaped = EscapeFilterValue(value, /*keepWildcard=*/false);
  if (LowerCase(value).find("dc=") != std::string::npos) {
    return "(distinguishedName=" + escaped + ")";
  }
  return "|(samaccountname=" + escaped + ")(userprincipalname=" + escaped + ")";
}

}  // namespace talvex
