#include "policy/domain_policy_retrieval.h"

#include <cstdint>

#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/policy_display.h"
#include "policy/record_attributes.h"
#include "support/decimal_integer.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// pwdProperties bits DOMAIN_PASSWORD_COMPLEX and
// DOMAIN_PASSWORD_STORE_CLEARTEXT (MS-SAMR, DOMAIN_PASSWORD_INFORMATION).
constexpr std::int64_t kPasswordComplex = 1;
constexpr std::int64_t kPasswordStoreCleartext = 16;

// A domain policy has no precedence of its own; it loses to every PSO.
constexpr char kDomainPolicyPrecedence[] = "2147483647";

// The domain head's settings, each from its attribute when the entry has it.
constexpr AttributeSetter kDomainSettings[] = {
    {"lockoutDuration", &PolicyRecord::SetLockoutDurationInterval,
     "lockoutduration", SettingSyntax::kIntervalMinutes},
    {"lockOutObservationWindow", &PolicyRecord::SetLockoutObservationInterval,
     "lockoutobservation", SettingSyntax::kIntervalMinutes},
    {"lockoutThreshold", &PolicyRecord::SetLockoutThreshold,
     "lockoutthreshold", SettingSyntax::kInteger},
    {"maxPwdAge", &PolicyRecord::SetMaxPwdAgeInterval, "maxpwdage",
     SettingSyntax::kIntervalDays},
    {"minPwdAge", &PolicyRecord::SetMinPwdAgeInterval, "minpwdage",
     SettingSyntax::kIntervalDays},
    {"minPwdLength", &PolicyRecord::SetMinPwdLength, "minpwdlen",
     SettingSyntax::kInteger},
    {"pwdHistoryLength", &PolicyRecord::SetPwdHistory, "pwdhistory",
     SettingSyntax::kInteger},
};

PolicyRecord BuildDomainPolicy(const Record& entry) {
  PolicyRecord record;
  record.SetIsPSO(false);
  record.SetPrecedence(kDomainPolicyPrecedence);
  record.SetDN(FirstValue(entry, kDnKey));
  SetFromEntry(entry, kIdentityAttributes, &record);
  SetFromEntry(entry, kDomainSettings, &record);
  if (const std::string* value = FirstValueIfAny(entry, "pwdProperties")) {
    const std::string& properties = *value;
    std::int64_t bits = ToInteger64(properties);
    record.SetComplexity((bits & kPasswordComplex) ? "TRUE" : "FALSE");
    record.SetReversible((bits & kPasswordStoreCleartext) ? "TRUE" : "FALSE");
    // Kept as read so that a later change of the two bits leaves the
    // others as the domain has them.
    record.SetRawProperties(properties);
    if (!IsValidSettingText(properties, SettingSyntax::kInteger)) {
      record.MarkInvalid("complexity", properties);
      record.MarkInvalid("reversible", properties);
    }
  } else {
    record.MarkUnset("complexity");
    record.MarkUnset("reversible");
  }
  return record;
}

}  // namespace

bool GetDomGPOs(DirectoryAccess& access, PolicyList* policies,
                const std::string& domainDn, bool allDomains,
                std::vector<std::string> domainList, int* ldapError,
                int* systemError) {
  *ldapError = 0;
  *systemError = 0;
  const bool debug = Output().debugLevel >= 1;
  if (debug) PrintDebugLine("Retrieving Domain Policy Settings...");

  const AttributeSet attributes = {"name",
                                   "canonicalName",
                                   "lockoutDuration",
                                   "lockOutObservationWindow",
                                   "lockoutThreshold",
                                   "maxPwdAge",
                                   "minPwdAge",
                                   "minPwdLength",
                                   "pwdHistoryLength",
                                   "pwdProperties"};
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
    int status = LdapGetRecs(*connection, domain, "BASE", "(objectclass=*)",
                             attributes, {}, {.pageSize = 2}, &entries);
    if (status != 0) {
      *ldapError = status;
      return false;
    }
    if (entries.empty()) continue;

    PolicyRecord record = BuildDomainPolicy(entries.front());
    if (debug) DebugPolicy("Domain Policy", record);
    (*policies)[LowerCase(domain)] = std::move(record);
  }
  return true;
}

}  // namespace talvex
