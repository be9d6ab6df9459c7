#include "policy/domain_list.h"

#include <algorithm>
#include <set>
#include <utility>

#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// Cross references whose systemFlags carry FLAG_CR_NTDS_DOMAIN (2): the
// forest's domains, not the configuration, schema or application
// partitions (MS-ADTS, crossRef systemFlags). 1.2.840.113556.1.4.803 is
// Active Directory's bitwise-AND matching rule.
constexpr char kDomainFilter[] = "(systemFlags:1.2.840.113556.1.4.803:=2)";
constexpr SearchPaging kDomainListPaging{.pageSize = 10};

std::string PartitionsDn(const ServerInfo& serverInfo) {
  return "CN=Partitions," + serverInfo.configurationNamingContext;
}

const AttributeSet& DomainListAttributes() {
  static const AttributeSet names{"nCName", "nETBIOSName", "dnsRoot"};
  return names;
}

}  // namespace

void SendDomainListAhead(LdapConnection& connection,
                         const ServerInfo& serverInfo) {
  LdapSendAhead(connection, PartitionsDn(serverInfo), "one", kDomainFilter,
                DomainListAttributes(), {}, kDomainListPaging);
}

int GetDomainList(std::vector<std::string>* domainList,
                  DomainNameTable* nameTable, LdapConnection& connection,
                  const ServerInfo& serverInfo) {
  RecordSet records;
  int status =
      LdapGetRecs(connection, PartitionsDn(serverInfo), "one", kDomainFilter,
                  DomainListAttributes(), {}, kDomainListPaging, &records);
  if (status != 0) return status;

  DomainNameTable table;
  std::set<std::string> dnKeys;
  for (const Record& record : records) {
    DomainEntry entry{.dn = FirstValue(record, "nCName"),
                      .reversedDn = "",
                      .netbiosName = FirstValue(record, "nETBIOSName"),
                      .dnsName = FirstValue(record, "dnsRoot")};
    // A cross reference without the partition's DN names no domain we
    // could read.
    if (entry.dn.empty()) continue;
    entry.reversedDn = ReverseDN(entry.dn);
    if (!entry.netbiosName.empty()) table[LowerCase(entry.netbiosName)] = entry;
    std::string dnKey = LowerCase(entry.dn);
    table[dnKey] = entry;
    dnKeys.insert(dnKey);
  }

  // Ordering by the reversed DN puts a parent domain before its children
  // and groups the trees by their top components. The blanks and "::" keep
  // a shorter reversed DN ahead of a longer one that it begins.
  std::vector<std::pair<std::string, std::string>> sortTexts;
  for (const auto& [key, entry] : table) {
    if (dnKeys.count(key) == 0) continue;
    std::string sortText = entry.reversedDn;
    sortText.append(14, ' ');
    sortText += "::";
    sortText += key;
    sortTexts.emplace_back(std::move(sortText), key);
  }
  std::sort(sortTexts.begin(), sortTexts.end());
  for (const auto& sortText : sortTexts) {
    domainList->push_back(table[sortText.second].dn);
  }

  if (Output().debugLevel >= 1) {
    PrintDebugLine("DomainList:");
    for (const auto& [key, entry] : table) {
      PrintDebugLine("   " + key + " -- " + entry.dnsName + " -- " +
                     entry.netbiosName + " -- " + entry.dn);
    }
  }
  for (auto& [key, entry] : table) (*nameTable)[key] = std::move(entry);
  return 0;
}

}  // namespace talvex
