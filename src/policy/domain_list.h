// The forest's domains, from the partitions container.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "directory/server_info.h"

namespace talvex {

struct DomainEntry {
  std::string dn;
  std::string reversedDn;
  std::string netbiosName;
  std::string dnsName;
};

// Lower-cased NetBIOS name and lower-cased DN, each to its domain.
using DomainNameTable = std::map<std::string, DomainEntry>;

// Appends the forest's domain DNs (parents before children) and the name
// table. Returns the search status (0 on success).
int GetDomainList(std::vector<std::string>* domainList,
                  DomainNameTable* nameTable, LdapConnection& connection,
                  const ServerInfo& serverInfo);

// Sends GetDomainList's search ahead (LdapSendAhead).
void SendDomainListAhead(LdapConnection& connection,
                         const ServerInfo& serverInfo);

}  // namespace talvex
