#include "directory/directory_access.h"

#include "directory/open_ldap.h"
#include "support/output.h"
#include "support/secret_text.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kProgressDebugLevel = 1;

// The name always comes from a domain DN, so it is a DNS name even when it
// has a single label ("corp"), which must not be asked for as a NetBIOS
// name: 0x21010.
constexpr std::uint32_t kDnsDomainControllerFlags =
    locator_flags::kDirectoryServiceRequired |
    locator_flags::kWritableRequired | locator_flags::kIsDnsName;

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
                        kDnsDomainControllerFlags, &dcName, &dcSiteName,
                        &clientSiteName);
  if (status != 0) {
    *systemError = status;
    return nullptr;
  }
  Progress("Using host: " + dcSiteName + "\\" + dcName);

  std::string key = LowerCase(dcName);
  if (LdapConnection* cached = access.cache->Find(key)) return cached;

  if (access.passwordForgotten && !access.userId.empty()) {
    *ldapError = ldap_result::kLocalError;
    return nullptr;
  }
  Progress("Opening LDAP Connection");
  OpenLdapOptions options;
  options.version3 = true;
  options.extendedError = true;
  options.locatorFlags = locator_flags::kWritableRequired;
  options.userId = access.userId;
  options.password = access.password;
  options.simple = access.simpleBind;
  options.ssl = access.ssl;
  options.startTls = access.startTls;
  int port = access.portSelector;
  int openStatus = 0;
  std::unique_ptr<LdapConnection> connection =
      OpenLDAP(*access.client, dcName, &port, options, &openStatus);
  // This copy of the password is not needed after the bind.
  WipeSecret(&options.password);
  if (!connection) {
    *ldapError = openStatus;
    return nullptr;
  }
  return access.cache->Enter(key, std::move(connection));
}

void ForgetPassword(DirectoryAccess& access) {
  WipeSecret(&access.password);
  access.passwordForgotten = true;
}

}  // namespace talvex
