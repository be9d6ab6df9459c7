// Facts about the connected server, read from its RootDSE.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

struct ServerInfo {
  int readStatus = 0;
  std::string schemaNamingContext;
  std::string configurationNamingContext;
  std::string defaultNamingContext;
  std::string rootDomainNamingContext;
  std::string dnsHostName;
  std::string dsServiceName;
  std::string highestCommittedUSN;
  std::string ldapServiceName;
  std::string serverName;
  std::string dsaVersionString;
  std::string isGlobalCatalogReady;
  std::string msDSPrincipalName;
  std::string currentTime;
  int domainFunctionality = 0;
  int forestFunctionality = 0;
  int domainControllerFunctionality = 0;
  std::vector<std::string> namingContexts;
  std::set<std::string> supportedCapabilities;
  std::set<std::string> supportedControl;
  std::set<std::string> tokenGroups;
  std::string productName;
  std::string domainModeName;
  std::string forestModeName;
  std::string domainControllerModeName;
  bool isGlobalCatalog = false;
  bool isWindowsLdapServer = false;
  bool isActiveDirectory = false;  // Windows 2000 generation
  bool isWindows2003 = false;
  bool isAdam = false;
  bool isLonghorn = false;
  bool isReadOnlyDc = false;
};

// Reads the RootDSE of the connection (none: every field stays empty).
ServerInfo ReadServerInfo(LdapConnection* connection, bool extendedDn);

}  // namespace talvex
