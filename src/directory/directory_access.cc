#include "directory/directory_access.h"

#include "directory/bound_connection.h"
#include "support/output.h"
#include "support/secret_text.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kProgressDebugLevel = 1;

void Progress(const std::string& line) {
  if (Output().debugLevel >= kProgressDebugLevel) PrintDebugLine(line);
}

// How the run binds to a controller in each role. The writable-controller
// requirement goes to the bind as the Windows client's "Get DS Flags"
// option carries it (0x1000); a global catalog, read only, is asked for
// nothing.
struct RoleBinding {
  ControllerRole role;
  const char* announcement;
  std::uint32_t locatorFlags;
  int portSelector;  // OpenLDAP's; -1: the run's own choice
};

constexpr RoleBinding kRoleBindings[] = {
    {ControllerRole::kDomainController, "Opening LDAP Connection",
     locator_flags::kWritableRequired, -1},
    {ControllerRole::kGlobalCatalog, "Opening GC Connection", 0, 1},
};

const RoleBinding& BindingOf(ControllerRole role) {
  for (const RoleBinding& binding : kRoleBindings) {
    if (binding.role == role) return binding;
  }
  return kRoleBindings[0];
}

BindOptions RunBindOptions(const DirectoryAccess& access,
                           std::uint32_t locatorFlags) {
  return BindOptions{.userId = access.userId,
                     .password = access.password,
                     .simple = access.simpleBind,
                     .ssl = access.ssl,
                     .startTls = access.startTls,
                     .locatorFlags = locatorFlags};
}

}  // namespace

std::unique_ptr<LdapConnection> OpenLocatedController(
    const DirectoryAccess& access, const std::string& host, ControllerRole role,
    int* status) {
  if (access.passwordForgotten && !access.userId.empty()) {
    *status = ldap_result::kLocalError;
    return nullptr;
  }
  const RoleBinding& binding = BindingOf(role);
  Progress(binding.announcement);
  BindOptions options = RunBindOptions(access, binding.locatorFlags);
  int port =
      binding.portSelector < 0 ? access.portSelector : binding.portSelector;
  std::unique_ptr<LdapConnection> connection =
      OpenLDAP(*access.client, host, &port, options, status);
  // This copy of the password is not needed after the bind.
  WipeSecret(&options.password);
  return connection;
}

LdapConnection* ConnectToDomainController(DirectoryAccess& access,
                                          const std::string& dnsName,
                                          int* ldapError, int* systemError) {
  *ldapError = 0;
  *systemError = 0;
  Progress("Locating Domain Controller for domain " + dnsName +
           " WRITE | DS_REQ");
  DomainControllerInfo dc;
  int status = LocateDC(*access.locator, access.locatorComputer, dnsName,
                        kDnsDomainControllerFlags, &dc);
  if (status != 0) {
    *systemError = status;
    return nullptr;
  }
  const std::string& dcName = dc.name;
  Progress("Using host: " + dc.dcSiteName + "\\" + dcName);

  std::string key = LowerCase(dcName);
  if (LdapConnection* cached = access.cache->Find(key)) return cached;

  std::unique_ptr<LdapConnection> connection = OpenLocatedController(
      access, dcName, ControllerRole::kDomainController, ldapError);
  if (!connection) {
    return nullptr;
  }
  return access.cache->Enter(key, std::move(connection));
}

void ForgetPassword(DirectoryAccess& access) {
  WipeSecret(&access.password);
  access.passwordForgotten = true;
}

}  // namespace talvex
