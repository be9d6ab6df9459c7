#include "policy/domain_policy_retrieval.h"

#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/policy_display.h"
#include "policy/policy_entry.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The domain's head object holds the domain policy.
constexpr SearchPaging kHeadPaging{.pageSize = 2};

}  // namespace

void SendDomainPolicyAhead(LdapConnection& connection,
                           const std::string& domainDn) {
  LdapSendAhead(connection, domainDn, "BASE", "(objectclass=*)",
                DomainPolicyAttributes(), {}, kHeadPaging);
}

bool GetDomGPOs(DirectoryAccess& access, PolicyList* policies,
                const std::string& domainDn, bool allDomains,
                std::vector<std::string> domainList, int* ldapError,
                int* systemError) {
  *ldapError = 0;
  *systemError = 0;
  const bool debug = Output().debugLevel >= 1;
  if (debug) PrintDebugLine("Retrieving Domain Policy Settings...");

  const std::vector<std::string> domains =
      allDomains ? std::move(domainList) : std::vector<std::string>{domainDn};

  for (const std::string& domain : domains) {
    if (debug) PrintDebugLine("  Domain: " + domain);
    // Each domain is read from a writable controller of its own, because
    // only that domain's controllers hold its head object.
    LdapConnection* connection = ConnectToDomainController(
        access, DNToDNSName(domain), ldapError, systemError);
    if (connection == nullptr) return false;

    RecordSet entries;
    int status =
        LdapGetRecs(*connection, domain, "BASE", "(objectclass=*)",
                    DomainPolicyAttributes(), {}, kHeadPaging, &entries);
    if (status != 0) {
      *ldapError = status;
      return false;
    }
    if (entries.empty()) continue;

    PolicyRecord record = DomainPolicyFromEntry(entries.front());
    if (debug) DebugPolicy("Domain Policy", record);
    (*policies)[LowerCase(domain)] = std::move(record);
  }
  return true;
}

}  // namespace talvex
