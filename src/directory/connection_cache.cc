#include "directory/connection_cache.h"

namespace talvex {

LdapConnection* ConnectionCache::Find(const std::string& host) const {
  auto it = connections_.find(host);
  return it == connections_.end() ? nullptr : it->second.get();
}

LdapConnection* ConnectionCache::Enter(
    const std::string& host, std::unique_ptr<LdapConnection> connection) {
  auto& slot = connections_[host];
  slot = std::move(connection);
  return slot.get();
}

int LocateDC(DcLocator& locator, const std::string& computer,
             const std::string& domain, std::uint32_t flags,
             std::string* dcName, std::string* dcSiteName,
             std::string* clientSiteName) {
  DomainControllerInfo info;
  int status = locator.Locate(computer, domain, flags, &info);
  if (status != 0) {
    dcName->clear();
    dcSiteName->clear();
    clientSiteName->clear();
    return status;
  }
  // Controller names may come back in UNC form ("\\dc1.corp.example.com").
  std::string name = info.name;
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  *dcName = name;
  *dcSiteName = info.dcSiteName;
  *clientSiteName = info.clientSiteName;
  return 0;
}

std::uint32_t DomainControllerFlags(const std::string& domain) {
  std::uint32_t flags = locator_flags::kDirectoryServiceRequired |
                        locator_flags::kWritableRequired;
  flags |= domain.find('.') == std::string::npos ? locator_flags::kIsFlatName
                                                 : locator_flags::kIsDnsName;
  return flags;
}

}  // namespace talvex
