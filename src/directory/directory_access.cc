#include "directory/directory_access.h"

#include "directory/open_ldap.h"
#include "support/output.h"
#include "support/secure_wipe.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kProgressDebugLevel = 1;

void Progress(const std::string& line) {
  if (Output().debugLevel >= kProgressDebugLevel) PrintDebugLine(line);
}

}  // namespace

LdapConnection* ConnectToDomainController(DirectoryAccess& access,
                                          const std::string& dnsName,
                                          int* ldapError, int* systemError) {
  *ldapError = 0;
  *systemError = 0;
  Progress("Locating Domain Controller for domain " + dnsName +
           " WRITE | DS_REQ");
  std::string dcName;
  std::string dcSiteName;
  std::string clientSiteName;
  int status = LocateDC(*access.locator, access.locatorComputer, dnsName,
                        DomainControllerFlags(dnsName), &dcName, &dcSiteName,
                        &clientSiteName);
  if (status != 0) {
    *systemError = status;
    return nullptr;
  }
  Progress("Using host: " + dcSiteName + "\\" + dcName);

  std::string key = LowerCase(dcName);
  if (LdapConnection* cached = access.cache->Find(key)) return cached;

  Progress("Opening LDAP Connection");
  OpenLdapOptions options;
  options.version3 = true;
  options.extendedError = true;
  options.locatorFlags = locator_flags::kWritableRequired;
  options.userId = access.userId;
  options.password = access.password;
  options.simple = access.simpleBind;
  int port = access.portSelector;
  int openStatus = 0;
  std::unique_ptr<LdapConnection> connection =
      OpenLDAP(*access.client, dcName, &port, options, &openStatus);
  // This copy of the password is not needed after the bind.
  SecureWipe(options.password.data(), options.password.size());
  if (!connection) {
    *ldapError = openStatus;
    return nullptr;
  }
  return access.cache->Enter(key, std::move(connection));
}

}  // namespace talvex
