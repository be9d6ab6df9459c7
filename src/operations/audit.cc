// The Audit section: every selected policy graded against a baseline
// profile, then the policies checked against each other. It only reads.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "directory/binary_value_text.h"
#include "directory/directory_access.h"
#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/applied_members.h"
#include "operations/json_audit.h"
#include "operations/run_failure.h"
#include "policy/audit_profile.h"
#include "policy/cross_policy_rules.h"
#include "policy/policy_display.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/run_exit.h"
#include "support/text_case.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The DNS name of the domain that holds the object, lower case.
std::string DomainOf(const std::string& dn) {
  return DNToDNSName(DomainDnOf(dn));
}

class AuditReader {
 public:
  explicit AuditReader(RunState& state)
      : state_(state),
        mainDomain_(DomainOf(state.serverInfo.defaultNamingContext)) {}

  AuditedPolicy Read(const PolicyRecord& record) {
    AuditedPolicy policy{.record = &record, .domain = DomainOf(record.dn())};
    if (!record.isPSO()) return policy;
    LdapConnection& connection = ConnectionFor(policy.domain);
    Record entry;
    int status = LdapGetRec(connection, record.dn(), "base", "objectClass=*",
                            {"objectGUID", kPsoAppliesToAttribute}, {}, &entry);
    if (status != 0) Fail(record.dn(), status);
    policy.guidBytes =
        GuidTextToBytes(FirstAttributeValue(entry, "objectGUID"));
    if (const auto* subjects = FindAttribute(entry, kPsoAppliesToAttribute)) {
      const RecordSet& linked =
          LinkedObjects(policy.domain, connection)[LowerCase(record.dn())];
      for (const std::string& dn : *subjects) {
        policy.subjects.push_back(Subject(dn, policy.domain, linked));
      }
    }
    return policy;
  }

 private:
  // A PSO of another domain (-alldoms) is read from its own domain's
  // controller, which the retrieval has bound already.
  LdapConnection& ConnectionFor(const std::string& domain) {
    if (domain == mainDomain_) return *state_.mainConnection;
    int ldapError = 0;
    int systemError = 0;
    LdapConnection* connection = ConnectToDomainController(
        state_.access, domain, &ldapError, &systemError);
    if (connection == nullptr) {
      FailPsoRetrieval(state_, ldapError, systemError,
                       /*treatNoSuchObjectAsNoMatch=*/false);
    }
    return *connection;
  }

  // The objects every PSO of the domain applies to, read once per domain
  // in one paged search (the search -applied makes), never one read per
  // subject.
  AppliedMemberRecordsByPso& LinkedObjects(const std::string& domain,
                                           LdapConnection& connection) {
    auto found = linkedByDomain_.find(domain);
    if (found != linkedByDomain_.end()) return found->second;
    std::vector<std::string> psoDns;
    std::string domainDn;
    for (const auto& [key, record] : state_.policies) {
      if (!record.isPSO() || DomainOf(record.dn()) != domain) continue;
      psoDns.push_back(record.dn());
      domainDn = DomainDnOf(record.dn());
    }
    AppliedMemberRecordsByPso& linked = linkedByDomain_[domain];
    int status = GetAppliedMemberRecords(connection, domainDn, psoDns, &linked);
    if (status != 0) Fail(domainDn, status);
    return linked;
  }

  // Objects of another domain are not read: the link has no effect
  // whatever they are. An object the search did not return (the bind may
  // not read it) is of no known type.
  static AuditedSubject Subject(const std::string& dn,
                                const std::string& psoDomain,
                                const RecordSet& linked) {
    AuditedSubject subject{.dn = dn};
    subject.otherDomain = DomainOf(dn) != psoDomain;
    const Record* entry = nullptr;
    if (!subject.otherDomain) {
      for (const Record& object : linked) {
        if (LowerCase(FirstValue(object, kDnKey)) == LowerCase(dn)) {
          entry = &object;
          break;
        }
      }
    }
    if (entry == nullptr) {
      subject.type = ClassifyPsoSubject({}, "");
      return subject;
    }
    const std::vector<std::string>* classes =
        FindAttribute(*entry, "objectClass");
    subject.type =
        ClassifyPsoSubject(classes ? *classes : std::vector<std::string>(),
                           FirstAttributeValue(*entry, "groupType"));
    subject.resultantPso = FirstAttributeValue(*entry, "msDS-ResultantPSO");
    return subject;
  }

  [[noreturn]] void Fail(const std::string& dn, int status) {
    FailLdapCall(state_,
                 "ERROR: ldap_search_s (" + dn + "): ", state_.controllerName,
                 status);
  }

  RunState& state_;
  std::string mainDomain_;
  std::map<std::string, AppliedMemberRecordsByPso> linkedByDomain_;
};

std::vector<const PolicyRecord*> ListingOrder(const RunState& state) {
  std::vector<const PolicyRecord*> sorted;
  for (const auto& [key, record] : state.policies) sorted.push_back(&record);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const PolicyRecord* a, const PolicyRecord* b) {
                     return DefaultOrder(*a, *b);
                   });
  return sorted;
}

std::string FoundText(const AuditFinding& finding) {
  if (!finding.setting) return "";
  if (!finding.found) return finding.detail;
  return SettingValueText(*finding.setting, *finding.found);
}

void PrintUnderlined(const std::string& heading) {
  PrintLine("");
  PrintLine(heading);
  PrintLine(std::string(heading.size(), '-'));
}

void PrintProfileFindings(const AuditProfile& profile,
                          const std::vector<const PolicyRecord*>& policies,
                          const std::vector<AuditFinding>& findings) {
  std::string heading = "Audit Against Profile " + profile.name;
  if (!profile.title.empty()) heading += " (" + profile.title + ")";
  PrintUnderlined(VisibleText(heading));
  int number = 1;
  for (const PolicyRecord* record : policies) {
    PrintLine("  Policy #" + std::to_string(number++) + ": " +
              VisibleText(record->name()));
    PrintLine("    DN: " + VisibleText(record->dn()));
    bool any = false;
    for (const AuditFinding& finding : findings) {
      if (finding.dn != record->dn()) continue;
      any = true;
      PrintLine("    " + std::string(Setting(*finding.setting).displayLabel) +
                VisibleText(FoundText(finding)) + "  (required: " +
                finding.required + "; " + VisibleText(finding.rule) + ")");
    }
    if (!any) PrintLine("    Meets the profile.");
    PrintLine("");
  }
}

void PrintCrossPolicyFindings(const std::vector<AuditFinding>& findings) {
  PrintUnderlined("Cross-Policy Findings");
  if (findings.empty()) PrintLine("  NONE");
  for (const AuditFinding& finding : findings) {
    PrintLine("  [" + finding.rule + "] " + VisibleText(finding.dn));
    std::string line = "    ";
    if (finding.setting) {
      line +=
          Setting(*finding.setting).displayLabel + FoundText(finding) + "  ";
    }
    PrintLine(VisibleText(line + finding.detail));
  }
}

}  // namespace

void RunAudit(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Audit");
  const std::vector<const PolicyRecord*> policies = ListingOrder(state);

  AuditReader reader(state);
  std::vector<AuditedPolicy> audited;
  for (const PolicyRecord* record : policies)
    audited.push_back(reader.Read(*record));

  std::vector<AuditFinding> profileFindings;
  for (const PolicyRecord* record : policies) {
    std::vector<AuditFinding> found =
        CheckProfile(config.auditProfile, *record);
    profileFindings.insert(profileFindings.end(), found.begin(), found.end());
  }
  const std::vector<AuditFinding> crossFindings =
      CheckCrossPolicyRules(audited);
  const std::size_t total = profileFindings.size() + crossFindings.size();

  if (config.json) {
    PrintAuditDocument(state, config.auditProfile, policies, profileFindings,
                       crossFindings);
  } else {
    PrintProfileFindings(config.auditProfile, policies, profileFindings);
    PrintCrossPolicyFindings(crossFindings);
    PrintLine("");
    PrintLine("Audited " + std::to_string(policies.size()) + " " +
              (policies.size() == 1 ? "policy" : "policies") + ": " +
              std::to_string(profileFindings.size()) +
              " against the profile, " + std::to_string(crossFindings.size()) +
              " cross-policy, " + std::to_string(total) + " " +
              (total == 1 ? "finding" : "findings") + " in all.");
  }
  // The run completed either way; 2 tells a script that the audit found
  // something, as diff does.
  if (total != 0) state.exitCode = kExitFindings;
}

}  // namespace talvex
