#include "policy/pso_retrieval.h"

#include "directory/dn_helpers.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/policy_display.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The same attributes serve the search and the per-PSO re-read.
const AttributeSet& PsoAttributes() {
  static const AttributeSet attributes = {
      "adminDisplayName",
      "displayName",
      "name",
      "canonicalName",
      "msDS-LockoutDuration",
      "msDS-LockoutObservationWindow",
      "msDS-LockoutThreshold",
      "msDS-MaximumPasswordAge",
      "msDS-MinimumPasswordAge",
      "msDS-MinimumPasswordLength",
      "msDS-PasswordComplexityEnabled",
      "msDS-PasswordHistoryLength",
      "msDS-PasswordReversibleEncryptionEnabled",
      "msDS-PasswordSettingsPrecedence",
  };
  return attributes;
}

bool Has(const Record& entry, const std::string& attribute) {
  return entry.find(attribute) != entry.end();
}

// The DN of the domain that holds an object: the DN from its first
// "DC=" RDN on. Only an unescaped comma starts an RDN, so a "dc=" inside a
// name's value is not taken for one.
std::string DomainPartOf(const std::string& dn) {
  auto startsDc = [&](std::size_t pos) {
    return pos + 3 <= dn.size() && (dn[pos] == 'd' || dn[pos] == 'D') &&
           (dn[pos + 1] == 'c' || dn[pos + 1] == 'C') && dn[pos + 2] == '=';
  };
  if (startsDc(0)) return dn;
  for (std::size_t pos = 0; pos < dn.size(); ++pos) {
    if (dn[pos] == '\\') {
      ++pos;
      continue;
    }
    if (dn[pos] == ',' && startsDc(pos + 1)) return dn.substr(pos + 1);
  }
  return std::string();
}

PolicyRecord BuildPso(const Record& entry) {
  PolicyRecord record;
  record.SetIsPSO(true);
  record.SetDN(FirstValue(entry, kDnKey));
  if (Has(entry, "name")) record.SetName(FirstValue(entry, "name"));
  if (Has(entry, "canonicalName")) {
    record.SetCanonicalName(FirstValue(entry, "canonicalName"));
  }
  if (Has(entry, "displayName")) {
    record.SetDisplayName(FirstValue(entry, "displayName"));
  }
  if (Has(entry, "adminDisplayName")) {
    record.SetAdminDisplayName(FirstValue(entry, "adminDisplayName"));
  }
  const struct {
    const char* attribute;
    void (PolicyRecord::*setter)(const std::string&);
  } settings[] = {
      {"msDS-LockoutDuration", &PolicyRecord::SetLockoutDurationInterval},
      {"msDS-LockoutObservationWindow",
       &PolicyRecord::SetLockoutObservationInterval},
      {"msDS-LockoutThreshold", &PolicyRecord::SetLockoutThreshold},
      {"msDS-MaximumPasswordAge", &PolicyRecord::SetMaxPwdAgeInterval},
      {"msDS-MinimumPasswordAge", &PolicyRecord::SetMinPwdAgeInterval},
      {"msDS-MinimumPasswordLength", &PolicyRecord::SetMinPwdLength},
      {"msDS-PasswordComplexityEnabled", &PolicyRecord::SetComplexity},
      {"msDS-PasswordHistoryLength", &PolicyRecord::SetPwdHistory},
      {"msDS-PasswordReversibleEncryptionEnabled",
       &PolicyRecord::SetReversible},
      {"msDS-PasswordSettingsPrecedence", &PolicyRecord::SetPrecedence},
  };
  for (const auto& setting : settings) {
    if (Has(entry, setting.attribute)) {
      (record.*setting.setter)(FirstValue(entry, setting.attribute));
    }
  }
  return record;
}

}  // namespace

std::string BuildPsoFilter(const PsoSelection& selection) {
  std::string filter = "&(objectCategory=msDS-PasswordSettings)";
  if (selection.unusedOnly) {
    filter += "(!msDS-PSOAppliesTo=*)";
  } else if (selection.usedOnly) {
    filter += "(msDS-PSOAppliesTo=*)";
  }
  if (selection.name.empty()) return filter;
  // The value keeps "*" as a wildcard but cannot close the assertion and
  // add filter terms of its own.
  const std::string value = EscapeFilterValue(selection.name, true);
  if (LowerCase(selection.name).find("dc=") != std::string::npos) {
    filter += "(distinguishedName=" + value + ")";
  } else {
    filter += "(|(name=" + value + ")(adminDisplayName=" + value +
              ")(displayName=" + value + "))";
  }
  return filter;
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

  RecordSet entries;
  int status = LdapGetRecs(connection, searchBase, "subtree", filter,
                           PsoAttributes(), {}, 100, 0, 0, &entries);
  if (status != 0) {
    *ldapError = status;
    return false;
  }

  for (const Record& found : entries) {
    const std::string dn = FirstValue(found, kDnKey);
    if (debug) PrintLine("  DN: " + dn);
    const Record* entry = &found;
    Record full;
    if (globalCatalog) {
      // A global catalog holds only the partial attribute set of other
      // domains' objects, so the PSO is read again from a writable
      // controller of its own domain.
      LdapConnection* domainConnection = ConnectToDomainController(
          access, DNToDNSName(DomainPartOf(dn)), ldapError, systemError);
      if (domainConnection == nullptr) return false;
      status = LdapGetRec(*domainConnection, dn, "base", "objectclass=*",
                          PsoAttributes(), {}, &full);
      if (status != 0) {
        *ldapError = status;
        return false;
      }
      entry = &full;
    }
    PolicyRecord record = BuildPso(*entry);
    if (debug) DebugPolicy("Password Settings Object", record);
    (*policies)[LowerCase(record.dn())] = std::move(record);
  }
  return true;
}

}  // namespace talvex
