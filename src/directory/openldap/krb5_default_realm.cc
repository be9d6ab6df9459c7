#include "directory/openldap/krb5_default_realm.h"

#include "directory/openldap/krb5_handles.h"

namespace talvex {

std::string KerberosDefaultRealm() {
  krb5_context raw_context = nullptr;
  if (krb5_init_context(&raw_context) != 0) return "";
  Krb5Context context(raw_context);
  char* raw_realm = nullptr;
  if (krb5_get_default_realm(context.get(), &raw_realm) != 0) return "";
  Krb5DefaultRealm realm(raw_realm, {context.get()});
  return realm.get();
}

}  // namespace talvex
