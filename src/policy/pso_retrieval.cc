#include "policy/pso_retrieval.h"

#include <string>
#include <utility>
#include <vector>

#include "directory/distinguished_name.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/policy_display.h"
#include "policy/policy_entry.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

constexpr SearchPaging kPsoPaging{.pageSize = 100};

}  // namespace

std::string BuildPsoFilter(const PsoSelection& selection) {
  std::string filter = "&(objectCategory=msDS-PasswordSettings)";
  if (selection.unusedOnly) {
    filter += "(!msDS-PSOAppliesTo=*)";
  } else if (selection.usedOnly) {
    filter += "(msDS-PSOAppliesTo=*)";
  }
  if (!selection.dns.empty()) {
    filter += "(|";
    for (const std::string& dn : selection.dns) {
      filter += "(distinguishedName=" +
                EscapeFilterValue(dn, /*keepWildcard=*/false) + ")";
    }
    return filter + ")";
  }
  if (!selection.anyOf.empty()) {
    filter += "(|";
    for (const std::string& term : selection.anyOf) filter += term;
    return filter + ")";
  }
  if (selection.name.empty()) return filter;
  // A value cannot close the assertion and add filter terms of its own. A
  // DN names one object, literally: a "*" in it is part of a name (the DN
  // Talvex printed for a PSO called "a*" must select that PSO). A name
  // keeps "*" as a wildcard.
  if (LowerCase(selection.name).find("dc=") != std::string::npos) {
    filter += "(distinguishedName=" +
              EscapeFilterValue(selection.name, /*keepWildcard=*/false) + ")";
  } else {
    const std::string value = EscapeFilterValue(selection.name, true);
    filter += "(|(name=" + value + ")(adminDisplayName=" + value +
              ")(displayName=" + value + "))";
  }
  return filter;
}

void SendPsoSearchAhead(LdapConnection& connection,
                        const std::string& searchBase,
                        const PsoSelection& selection) {
  LdapSendAhead(connection, searchBase, "subtree", BuildPsoFilter(selection),
                PsoAttributes(), {}, kPsoPaging);
}

bool GetPSOs(DirectoryAccess& access, PolicyList* policies,
             LdapConnection& connection, const std::string& searchBase,
             bool globalCatalog, const PsoSelection& selection, int* ldapError,
             int* systemError) {
  *ldapError = 0;
  *systemError = 0;
  const bool debug = Output().debugLevel >= 1;
  const std::string filter = BuildPsoFilter(selection);
  if (Output().debugLevel >= 5) {
    PrintDebugLine("GetPSOs Query:");
    PrintDebugLine("  Base  : " + searchBase);
    PrintDebugLine("  Filter: " + filter);
  }

  // The search is read page by page and each page dropped once turned into
  // what is kept of it, so that a domain with thousands of PSOs is never
  // held as text records all at once. Nothing is shown or entered into the
  // policy list before the whole search has succeeded.
  std::vector<std::vector<PolicyRecord>> built;  // by page, in server order
  std::vector<std::string> foundDns;             // global catalog: DNs only
  int status = LdapGetEntryPages(
      connection, searchBase, "subtree", filter, PsoAttributes(), {},
      kPsoPaging, [&](std::vector<LdapEntry>& page) {
        if (globalCatalog) {
          // The PSOs are read again below; only their DNs are needed.
          for (LdapEntry& found : page) foundDns.push_back(std::move(found.dn));
          return;
        }
        std::vector<PolicyRecord>& records = built.emplace_back();
        records.reserve(page.size());
        for (const LdapEntry& found : page)
          records.push_back(PsoFromEntry(found));
      });
  if (status != 0) {
    *ldapError = status;
    return false;
  }

  for (std::vector<PolicyRecord>& records : built) {
    for (PolicyRecord& record : records) {
      if (debug) {
        PrintLine("  DN: " + VisibleText(record.dn()));
        DebugPolicy("Password Settings Object", record);
      }
      std::string key = LowerCase(record.dn());
      (*policies)[std::move(key)] = std::move(record);
    }
    std::vector<PolicyRecord>().swap(records);
  }

  for (const std::string& dn : foundDns) {
    if (debug) PrintLine("  DN: " + VisibleText(dn));
    // A global catalog holds only the partial attribute set of other
    // domains' objects, so the PSO is read again from a writable
    // controller of its own domain.
    LdapConnection* domainConnection = ConnectToDomainController(
        access, DNToDNSName(DomainDnOf(dn)), ldapError, systemError);
    if (domainConnection == nullptr) return false;
    Record full;
    status = LdapGetRec(*domainConnection, dn, "base", "objectclass=*",
                        PsoAttributes(), {}, &full);
    if (status != 0) {
      *ldapError = status;
      return false;
    }
    PolicyRecord record = PsoFromEntry(full);
    if (debug) DebugPolicy("Password Settings Object", record);
    (*policies)[LowerCase(record.dn())] = std::move(record);
  }
  return true;
}

}  // namespace talvex
