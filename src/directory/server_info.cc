#include "directory/server_info.h"

#include <cstdlib>

#include "directory/ldap_search.h"

namespace talvex {
namespace {

constexpr char kWindowsLdapServerOid[] = "1.2.840.113556.1.4.1791";
constexpr char kActiveDirectoryOid[] = "1.2.840.113556.1.4.800";
constexpr char kWindows2003Oid[] = "1.2.840.113556.1.4.1670";
constexpr char kAdamOid[] = "1.2.840.113556.1.4.1851";
constexpr char kLonghornOid[] = "1.2.840.113556.1.4.1935";
constexpr char kReadOnlyDcOid[] = "1.2.840.113556.1.4.1920";

struct LevelNames {
  const char* domain;
  const char* forest;
  const char* domainController;
};

// Functional levels 0 to 3.
constexpr LevelNames kLevelNames[] = {
    {"Windows 2000 Domain Mode", "Windows 2000 Forest Mode", "Windows 2000"},
    {"Windows Server 2003 Interim Domain Mode",
     "Windows Server 2003 Interim Forest Mode", "Windows Server 2003 Interim"},
    {"Windows Server 2003 Domain Mode", "Windows Server 2003 Forest Mode",
     "Windows Server 2003"},
    {"Windows Longhorn Domain Mode", "Windows Longhorn Forest Mode",
     "Windows Longhorn"},
};
constexpr int kLevelCount = 4;

std::set<std::string> AllValues(const Record& record, const std::string& name) {
  auto it = record.find(name);
  if (it == record.end()) return {};
  return std::set<std::string>(it->second.begin(), it->second.end());
}

int Level(const Record& record, const std::string& name) {
  return std::atoi(FirstValue(record, name).c_str());
}

void SetLevelName(int level, const char* LevelNames::*field,
                  std::string* name) {
  // A level this table does not know keeps the name as it was.
  if (level >= 0 && level < kLevelCount) *name = kLevelNames[level].*field;
}

}  // namespace

ServerInfo ReadServerInfo(LdapConnection* connection, bool extendedDn) {
  ServerInfo info;
  if (connection == nullptr) return info;

  // "*" plus the operational attributes that fields take. Attributes no
  // field uses are not asked for: Samba 4.17 fails the whole RootDSE read
  // with 1 (operations error) when validFSMOs is requested.
  const AttributeSet attributes = {"*", "dsaVersionString",
                                   "msDS-PrincipalName", "tokenGroups"};
  ControlMap controls;
  if (extendedDn) controls.emplace("EXTNAME", "1");
  Record record;
  info.readStatus = LdapGetRec(*connection, "", "base", "(objectClass=*)",
                               attributes, controls, &record);
  if (info.readStatus != 0) return info;

  info.schemaNamingContext = FirstValue(record, "schemaNamingContext");
  info.configurationNamingContext =
      FirstValue(record, "configurationNamingContext");
  info.defaultNamingContext = FirstValue(record, "defaultNamingContext");
  info.rootDomainNamingContext = FirstValue(record, "rootDomainNamingContext");
  info.dnsHostName = FirstValue(record, "dnsHostName");
  info.dsServiceName = FirstValue(record, "dsServiceName");
  info.highestCommittedUSN = FirstValue(record, "highestCommittedUSN");
  info.ldapServiceName = FirstValue(record, "ldapServiceName");
  info.serverName = FirstValue(record, "serverName");
  info.dsaVersionString = FirstValue(record, "dsaVersionString");
  info.isGlobalCatalogReady = FirstValue(record, "isGlobalCatalogReady");
  info.msDSPrincipalName = FirstValue(record, "msDS-PrincipalName");
  info.currentTime = FirstValue(record, "currentTime");
  info.domainFunctionality = Level(record, "domainFunctionality");
  info.forestFunctionality = Level(record, "forestFunctionality");
  info.domainControllerFunctionality =
      Level(record, "domainControllerFunctionality");
  if (auto it = record.find("namingContexts"); it != record.end()) {
    info.namingContexts = it->second;
  }
  info.supportedCapabilities = AllValues(record, "supportedCapabilities");
  info.supportedControl = AllValues(record, "supportedControl");
  info.tokenGroups = AllValues(record, "tokenGroups");

  auto has = [&](const char* oid) {
    return info.supportedCapabilities.count(oid) > 0;
  };
  info.isWindowsLdapServer = has(kWindowsLdapServerOid);
  info.isActiveDirectory = has(kActiveDirectoryOid);
  info.isWindows2003 = has(kWindows2003Oid);
  info.isAdam = has(kAdamOid);
  info.isLonghorn = has(kLonghornOid);
  info.isReadOnlyDc = has(kReadOnlyDcOid);
  if (!info.isWindowsLdapServer) return info;

  // Later generations overwrite earlier ones.
  info.productName = "Unknown Windows LDAP (" + info.dsaVersionString + ")";
  if (info.isActiveDirectory) {
    info.productName = "Windows 2000";
    info.domainModeName = "Windows 2000 Mode";
    info.forestModeName = "Windows 2000 Forest Mode";
  }
  if (info.isAdam) info.productName = "Active Directory Application Mode";
  if (info.isWindows2003) info.productName = "Windows Server 2003";
  if (info.isLonghorn) info.productName = "Windows Longhorn";
  if (info.isWindows2003 || info.isLonghorn) {
    SetLevelName(info.domainFunctionality, &LevelNames::domain,
                 &info.domainModeName);
    SetLevelName(info.forestFunctionality, &LevelNames::forest,
                 &info.forestModeName);
    SetLevelName(info.domainControllerFunctionality,
                 &LevelNames::domainController, &info.domainControllerModeName);
  }
  info.isGlobalCatalog = info.isGlobalCatalogReady == "TRUE";

  // An application-mode instance has no default naming context of its own:
  // with exactly schema, configuration and one application partition, that
  // partition is the one to work in.
  if (info.isAdam) {
    if (info.defaultNamingContext.empty() && info.namingContexts.size() == 3) {
      for (const auto& context : info.namingContexts) {
        if (context != info.schemaNamingContext &&
            context != info.configurationNamingContext) {
          info.defaultNamingContext = context;
          info.rootDomainNamingContext = context;
          break;
        }
      }
    }
    if (!info.defaultNamingContext.empty()) {
      info.rootDomainNamingContext = info.defaultNamingContext;
    }
  }
  return info;
}

}  // namespace talvex
