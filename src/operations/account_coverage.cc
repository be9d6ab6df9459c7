#include "operations/account_coverage.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "directory/binary_value_text.h"
#include "directory/distinguished_name.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/cross_policy_rules.h"
#include "policy/pso_subject.h"
#include "support/decimal_integer.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// Active Directory's largest page by default (MaxPageSize): fewer round
// trips over thousands of accounts.
constexpr int kPageSize = 1000;
// Groups asked for in one search of the level-by-level walk, so that no
// filter grows without bound.
constexpr std::size_t kGroupsPerSearch = 50;
// LDAP_MATCHING_RULE_IN_CHAIN (MS-ADTS 3.1.1.3.4.4.5): membership through
// any nesting, evaluated by the controller.
constexpr char kInChainRule[] = "1.2.840.113556.1.4.1941";
// Users and inetOrgPersons (a subclass of user); computers are users by
// class but always take the domain policy.
constexpr char kAccountFilter[] = "(objectClass=user)(!(objectClass=computer))";

// userAccountControl bits (MS-ADTS 2.2.16) that change what a policy
// means for the account, and the one without which the directory gives an
// account no PSO at all (ADS_UF_NORMAL_ACCOUNT, MS-ADTS 3.1.1.4.5.36).
constexpr std::uint32_t kNormalAccount = 0x200;
const struct {
  std::uint32_t bit;
  const char* word;
} kAccountControlMarks[] = {
    {0x2, "disabled"},
    {0x10000, "passwordNeverExpires"},  // the maximum age does not apply
    {0x20, "passwordNotRequired"},
};
// adminCount = 1: the account is (or was) in a protected group.
constexpr char kPrivilegedMark[] = "privileged";

struct LinkedGroup {
  std::string dn;
  bool universal = false;
  std::string rid = {};  // of its objectSid, for members by primaryGroupID
  std::vector<std::string> psoDns = {};
};

std::string Rid(const std::string& sidText) {
  std::size_t dash = sidText.rfind('-');
  if (dash == std::string::npos) return "";
  std::string rid = sidText.substr(dash + 1);
  return !rid.empty() &&
                 rid.find_first_not_of("0123456789") == std::string::npos
             ? rid
             : "";
}

bool IsAccount(const Record& record) {
  const std::vector<std::string>* classes =
      FindAttribute(record, "objectClass");
  if (classes == nullptr) return false;
  bool user = false, computer = false;
  for (const std::string& name : *classes) {
    if (LowerCase(name) == "user") user = true;
    if (LowerCase(name) == "computer") computer = true;
  }
  return user && !computer;
}

bool IsGroup(const Record& record) {
  const std::vector<std::string>* classes =
      FindAttribute(record, "objectClass");
  if (classes == nullptr) return false;
  for (const std::string& name : *classes) {
    if (LowerCase(name) == "group") return true;
  }
  return false;
}

class CoverageReader {
 public:
  CoverageReader(LdapConnection& connection, const CoverageScope& scope,
                 const PolicyList& policies, DomainCoverage* coverage,
                 std::string* failedBase)
      : connection_(connection),
        scope_(scope),
        policies_(policies),
        coverage_(*coverage),
        failedBase_(*failedBase) {
    coverage_.domainDn = scope.domainDn;
    coverage_.base = scope.base;
  }

  int Read(const CoverageProgress& progress) {
    ReadDomainPolicies();
    int status = ReadPsoIdentities();
    if (status == 0) status = ReadLinkedGroups();
    if (!scope_.inChain) {
      if (status == 0) status = WalkMembers();
    } else {
      for (std::size_t i = 0; status == 0 && i < groups_.size(); ++i)
        status = ReadMembersInChain(i);
    }
    if (status == 0) status = ReadAccounts(progress);
    if (status != 0) return status;
    Finish();
    return 0;
  }

 private:
  void ReadDomainPolicies() {
    for (const auto& [key, record] : policies_) {
      if (record.isPSO()) {
        if (SameDn(DomainDnOf(record.dn()), scope_.domainDn))
          PsoIndex(record.dn());
      } else if (SameDn(record.dn(), scope_.domainDn)) {
        coverage_.domainPolicy = &record;
      }
    }
  }

  // The tie-breaker no listing shows: objectGUID, in one search.
  int ReadPsoIdentities() {
    RecordSet found;
    int status = Search(scope_.domainDn, "objectClass=msDS-PasswordSettings",
                        {"objectGUID"}, &found);
    for (const Record& record : found) {
      const std::string dn = FirstValue(record, kDnKey);
      auto known = psoIndex_.find(LowerCase(dn));
      if (known != psoIndex_.end()) {
        coverage_.psos[known->second].guidBytes =
            GuidTextToBytes(FirstAttributeValue(record, "objectGUID"));
      }
    }
    return status;
  }

  // The groups PSOs are linked to, read through their msDS-PSOApplied: a
  // global security group counts (Windows), a universal security group too
  // for Samba; any other group has no effect and is left out.
  int ReadLinkedGroups() {
    RecordSet found;
    int status = Search(
        scope_.domainDn, "&(objectClass=group)(msDS-PSOApplied=*)",
        {"objectClass", "groupType", "objectSid", "msDS-PSOApplied"}, &found);
    for (const Record& record : found) {
      const std::vector<std::string>* classes =
          FindAttribute(record, "objectClass");
      PsoSubject subject =
          ClassifyPsoSubject(classes ? *classes : std::vector<std::string>(),
                             FirstAttributeValue(record, "groupType"));
      if (!subject.takesEffect && !subject.universalSecurityGroup) continue;
      LinkedGroup group{.dn = FirstValue(record, kDnKey),
                        .universal = !subject.takesEffect,
                        .rid = Rid(FirstAttributeValue(record, "objectSid"))};
      for (const std::string& pso : *FindAttribute(record, "msDS-PSOApplied")) {
        if (SameDn(DomainDnOf(pso), scope_.domainDn)) {
          PsoIndex(pso);
          group.psoDns.push_back(pso);
        }
      }
      if (!group.psoDns.empty()) groups_.push_back(std::move(group));
    }
    // Global groups first: where one PSO reaches an account both ways, the
    // link Windows counts is the one named.
    std::stable_sort(groups_.begin(), groups_.end(),
                     [](const LinkedGroup& a, const LinkedGroup& b) {
                       return !a.universal && b.universal;
                     });
    return status;
  }

  // The group's members through any nesting, accounts only, in one search;
  // a member by primaryGroupID (Domain Users) has no memberOf value for it.
  int ReadMembersInChain(std::size_t index) {
    const LinkedGroup& group = groups_[index];
    std::string membership = "(memberOf:" + std::string(kInChainRule) +
                             ":=" + EscapeFilterValue(group.dn, false) + ")";
    if (!group.rid.empty())
      membership = "(|" + membership + "(primaryGroupID=" + group.rid + "))";
    return Pages(scope_.base, "&" + std::string(kAccountFilter) + membership,
                 {"1.1"}, [&](RecordSet& page) {
                   for (const Record& member : page)
                     AddMember(FirstValue(member, kDnKey), index);
                 });
  }

  // Without the in-chain rule: every linked group's nesting walked at once,
  // one search per level (a few dozen groups at a time). A member's
  // memberOf names the groups of the level it was found through, and so
  // the linked groups it reaches; a group is searched again only when it
  // leads to a linked group it did not before, so that a loop ends.
  int WalkMembers() {
    // Lower-cased group DN to the linked groups (indices) it belongs to.
    std::map<std::string, std::set<std::size_t>> leadsTo;
    std::map<std::string, std::size_t> byRid;  // first level only
    std::vector<std::string> level;
    for (std::size_t i = 0; i < groups_.size(); ++i) {
      if (leadsTo[LowerCase(groups_[i].dn)].insert(i).second &&
          leadsTo[LowerCase(groups_[i].dn)].size() == 1)
        level.push_back(groups_[i].dn);
      if (!groups_[i].rid.empty()) byRid.emplace(groups_[i].rid, i);
    }
    bool first = true;
    while (!level.empty()) {
      std::vector<std::string> next;
      std::set<std::string> queued;
      for (std::size_t at = 0; at < level.size(); at += kGroupsPerSearch) {
        const std::size_t end = std::min(level.size(), at + kGroupsPerSearch);
        std::set<std::string> searched;
        std::string terms;
        for (std::size_t i = at; i < end; ++i) {
          searched.insert(LowerCase(level[i]));
          terms += "(memberOf=" + EscapeFilterValue(level[i], false) + ")";
          for (std::size_t linked : leadsTo[LowerCase(level[i])]) {
            if (first && !groups_[linked].rid.empty() &&
                SameDn(groups_[linked].dn, level[i]))
              terms += "(primaryGroupID=" + groups_[linked].rid + ")";
          }
        }
        int status = Pages(
            scope_.domainDn, "|" + terms,
            {"objectClass", "memberOf", "primaryGroupID"},
            [&](RecordSet& page) {
              for (const Record& member : page) {
                std::set<std::size_t> reached;
                if (const auto* parents = FindAttribute(member, "memberOf")) {
                  for (const std::string& parent : *parents) {
                    const std::string key = LowerCase(parent);
                    if (searched.count(key) != 0)
                      reached.insert(leadsTo[key].begin(), leadsTo[key].end());
                  }
                }
                auto primary =
                    byRid.find(FirstAttributeValue(member, "primaryGroupID"));
                if (first && primary != byRid.end() &&
                    searched.count(LowerCase(groups_[primary->second].dn)))
                  reached.insert(primary->second);
                const std::string dn = FirstValue(member, kDnKey);
                if (IsAccount(member)) {
                  for (std::size_t linked : reached) AddMember(dn, linked);
                } else if (IsGroup(member)) {
                  std::set<std::size_t>& known = leadsTo[LowerCase(dn)];
                  const std::size_t before = known.size();
                  known.insert(reached.begin(), reached.end());
                  if (known.size() != before &&
                      queued.insert(LowerCase(dn)).second)
                    next.push_back(dn);
                }
              }
            });
        if (status != 0) return status;
      }
      level = std::move(next);
      first = false;
    }
    return 0;
  }

  void AddMember(const std::string& dn, std::size_t groupIndex) {
    memberships_[LowerCase(dn)].insert(groupIndex);
  }

  int ReadAccounts(const CoverageProgress& progress) {
    std::size_t read = 0;
    return Pages(scope_.base, "&" + std::string(kAccountFilter),
                 {"sAMAccountName", "userPrincipalName", "userAccountControl",
                  "adminCount", "msDS-PSOApplied", "msDS-ResultantPSO"},
                 [&](RecordSet& page) {
                   for (const Record& record : page) AddAccount(record);
                   read += page.size();
                   if (progress) progress(read);
                 });
  }

  void AddAccount(const Record& record) {
    CoveredAccount account{
        .dn = FirstValue(record, kDnKey),
        .accountName = FirstAttributeValue(record, "sAMAccountName"),
        .principalName = FirstAttributeValue(record, "userPrincipalName"),
        .governing = {},
        .directoryPso = FirstAttributeValue(record, "msDS-ResultantPSO")};
    const std::string control =
        FirstAttributeValue(record, "userAccountControl");
    const auto bits = static_cast<std::uint32_t>(ToInteger64(control));
    for (const auto& mark : kAccountControlMarks) {
      if (bits & mark.bit) account.marks.push_back(mark.word);
    }
    account.privileged = FirstAttributeValue(record, "adminCount") == "1";
    if (account.privileged) account.marks.push_back(kPrivilegedMark);

    std::vector<PsoLink> links;
    // An account that is no normal account (a trust account) gets no PSO;
    // a value this bind cannot read leaves the rule to the links.
    if (control.empty() || (bits & kNormalAccount) != 0) links = Links(record);
    account.governing = DecideGoverningPso(links, false);
    Check(links, &account);
    coverage_.accounts.push_back(std::move(account));
  }

  std::vector<PsoLink> Links(const Record& record) {
    std::vector<PsoLink> links;
    if (const auto* applied = FindAttribute(record, "msDS-PSOApplied")) {
      for (const std::string& pso : *applied) links.push_back(Link(pso));
    }
    auto member = memberships_.find(LowerCase(FirstValue(record, kDnKey)));
    if (member == memberships_.end()) return links;
    for (std::size_t index : member->second) {
      const LinkedGroup& group = groups_[index];
      for (const std::string& pso : group.psoDns) {
        PsoLink link = Link(pso);
        link.groupDn = group.dn;
        link.universalGroup = group.universal;
        links.push_back(std::move(link));
      }
    }
    return links;
  }

  PsoLink Link(const std::string& psoDn) {
    const CoveredPso& pso = coverage_.psos[PsoIndex(psoDn)];
    PsoLink link{.psoDn = pso.dn, .guidBytes = pso.guidBytes};
    if (pso.record != nullptr && !pso.record->IsUnset(SettingId::kPrecedence))
      link.precedence = pso.record->precedence();
    return link;
  }

  bool Readable(const std::string& psoDn) {
    return coverage_.psos[PsoIndex(psoDn)].record != nullptr;
  }

  void Check(const std::vector<PsoLink>& links, CoveredAccount* account) {
    const GoverningPso& computed = account->governing;
    if (computed.undetermined) {
      account->check = CoverageCheck::kUnreadable;
    } else if (computed.psoDn.empty()
                   ? account->directoryPso.empty()
                   : SameDn(computed.psoDn, account->directoryPso)) {
      account->check = CoverageCheck::kAgrees;
    } else if (account->directoryPso.empty() && !Readable(computed.psoDn)) {
      // The directory may withhold an answer naming a PSO the bind cannot
      // read.
      account->check = CoverageCheck::kUnreadable;
    } else {
      account->check = CoverageCheck::kDiffers;
      const GoverningPso counted = DecideGoverningPso(links, true);
      if (counted.throughUniversalGroup && !account->directoryPso.empty() &&
          SameDn(counted.psoDn, account->directoryPso))
        account->universalGroupDn = counted.groupDn;
    }
  }

  std::size_t PsoIndex(const std::string& dn) {
    auto [it, added] = psoIndex_.emplace(LowerCase(dn), coverage_.psos.size());
    if (added) {
      auto record = policies_.find(LowerCase(dn));
      coverage_.psos.push_back(
          {.dn = dn,
           .record = record != policies_.end() && record->second.isPSO()
                         ? &record->second
                         : nullptr});
    }
    return it->second;
  }

  // Counts per policy; PSOs in the order the directory ranks them (those
  // that cannot be read last, by DN); accounts by name.
  void Finish() {
    for (CoveredAccount& account : coverage_.accounts) {
      if (account.governing.undetermined) {
        ++coverage_.undetermined;
      } else if (account.governing.psoDn.empty()) {
        ++coverage_.domainPolicyAccounts;
      } else {
        ++coverage_.psos[PsoIndex(account.governing.psoDn)].accounts;
      }
    }
    std::stable_sort(coverage_.psos.begin(), coverage_.psos.end(),
                     [](const CoveredPso& a, const CoveredPso& b) {
                       if ((a.record == nullptr) != (b.record == nullptr))
                         return a.record != nullptr;
                       if (a.record == nullptr)
                         return LowerCase(a.dn) < LowerCase(b.dn);
                       if (a.record->precedence() != b.record->precedence())
                         return a.record->precedence() < b.record->precedence();
                       return LowerGuid(a.guidBytes, b.guidBytes);
                     });
    psoIndex_.clear();
    std::stable_sort(coverage_.accounts.begin(), coverage_.accounts.end(),
                     [](const CoveredAccount& a, const CoveredAccount& b) {
                       const std::string an = LowerCase(a.accountName);
                       const std::string bn = LowerCase(b.accountName);
                       if (an != bn) return an < bn;
                       return LowerCase(a.dn) < LowerCase(b.dn);
                     });
  }

  int Search(const std::string& base, const std::string& filter,
             const AttributeSet& attributes, RecordSet* found) {
    int status = LdapGetRecs(connection_, base, "subtree", filter, attributes,
                             ControlMap(), {.pageSize = kPageSize}, found);
    if (status != 0) failedBase_ = base;
    return status;
  }

  int Pages(const std::string& base, const std::string& filter,
            const AttributeSet& attributes, const RecordPageHandler& onPage) {
    int status =
        LdapGetRecPages(connection_, base, "subtree", filter, attributes,
                        ControlMap(), {.pageSize = kPageSize}, onPage);
    if (status != 0) failedBase_ = base;
    return status;
  }

  LdapConnection& connection_;
  const CoverageScope& scope_;
  const PolicyList& policies_;
  DomainCoverage& coverage_;
  std::string& failedBase_;
  std::map<std::string, std::size_t> psoIndex_;  // lower-cased DN
  std::vector<LinkedGroup> groups_;
  // Lower-cased account DN to the linked groups it belongs to.
  // In the linked groups' order (global groups first).
  std::unordered_map<std::string, std::set<std::size_t>> memberships_;
};

}  // namespace

const char* CheckWord(CoverageCheck check) {
  switch (check) {
    case CoverageCheck::kAgrees:
      return "agrees";
    case CoverageCheck::kDiffers:
      return "differs";
    case CoverageCheck::kUnreadable:
      return "unreadable";
  }
  return "differs";
}

int ReadDomainCoverage(LdapConnection& connection, const CoverageScope& scope,
                       const PolicyList& policies,
                       const CoverageProgress& progress,
                       DomainCoverage* coverage, std::string* failedBase) {
  CoverageReader reader(connection, scope, policies, coverage, failedBase);
  return reader.Read(progress);
}

}  // namespace talvex
