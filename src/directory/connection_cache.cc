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
             DomainControllerInfo* info) {
  int status = locator.Locate(computer, domain, flags, info);
  if (status != 0) {
    std::string problem = std::move(info->problem);
    *info = {};
    info->problem = std::move(problem);
    return status;
  }
  // Controller names may come back in UNC form ("\\dc1.corp.example.com").
  while (!info->name.empty() && info->name.front() == '\\')
    info->name.erase(0, 1);
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
