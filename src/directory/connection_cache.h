// The run's open connections by host, and the locator wrapper.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "directory/dc_locator.h"
#include "directory/ldap_client.h"

namespace talvex {

// Lower-cased host name of a located controller to its bound connection.
// Entries are only added; connections live until the run ends.
class ConnectionCache {
 public:
  // Null when there is none. The caller lower-cases the name.
  LdapConnection* Find(const std::string& host) const;
  LdapConnection* Enter(const std::string& host,
                        std::unique_ptr<LdapConnection> connection);
  std::size_t size() const { return connections_.size(); }

 private:
  std::map<std::string, std::unique_ptr<LdapConnection>> connections_;
};

// Calls the locator; on success strips leading backslashes from the
// controller name. On failure *info holds nothing but the locator's problem
// text.
int LocateDC(DcLocator& locator, const std::string& computer,
             const std::string& domain, std::uint32_t flags,
             DomainControllerInfo* info);

// Domain-controller flags: directory service + writable + flat or DNS name
// by the presence of a dot (0x11010 or 0x21010).
std::uint32_t DomainControllerFlags(const std::string& domain);
constexpr std::uint32_t kGlobalCatalogFlags = 0x21050;

}  // namespace talvex
