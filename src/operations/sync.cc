// The Sync section: what it takes to make the domain match a policy
// document (-export's format), listed as a plan. Everything is matched and
// checked before anything is shown: a subject that cannot be found, or that
// no PSO can act on, ends the run first.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "directory/binary_value_text.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/applied_members.h"
#include "operations/modify_policy.h"
#include "operations/pso_guids.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/run_exit.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

constexpr int kPageSize = 1000;

// The settings in the order of the listing, precedence first.
std::vector<SettingId> ComparedSettings() {
  std::vector<SettingId> ids = {SettingId::kPrecedence};
  for (SettingId id : ListedSettings()) ids.push_back(id);
  return ids;
}

[[noreturn]] void Refuse(const std::vector<std::string>& lines) {
  PrintLine("ERROR:");
  for (const std::string& line : lines) PrintLine(line);
  PrintLine("ERROR:");
  ShowUsageHint();
}

// The objects a subject of the file can be: the PSOs' current subjects
// and what one search found for the others.
class SubjectFinder {
 public:
  void Add(const Record& object) { pool_.push_back(object); }

  const Record* Find(const CodeSubject& subject) const {
    // By SID where the file has one and the domain knows it, else by DN,
    // else by account name (a document of another domain).
    if (!subject.objectSid.empty()) {
      if (const Record* found = FindBy("objectSid", subject.objectSid))
        return found;
    }
    if (!subject.dn.empty()) {
      if (const Record* found = FindBy(kDnKey, subject.dn)) return found;
    }
    if (!subject.accountName.empty())
      return FindBy("sAMAccountName", subject.accountName);
    return nullptr;
  }

 private:
  const Record* FindBy(std::string_view attribute,
                       const std::string& value) const {
    const std::string wanted = LowerCase(value);
    for (const Record& object : pool_) {
      if (LowerCase(FirstAttributeValue(object, attribute)) == wanted)
        return &object;
    }
    return nullptr;
  }

  std::vector<Record> pool_;
};

std::string SubjectName(const CodeSubject& subject) {
  if (!subject.dn.empty()) return subject.dn;
  if (!subject.accountName.empty()) return subject.accountName;
  return subject.objectSid;
}

// One PSO of the file and what it takes to get there.
struct PsoPlan {
  const CodePso* code = nullptr;
  const PolicyRecord* current = nullptr;  // null: to be created
  std::vector<std::string> subjectDns;    // as the file resolves them
};

class SyncPlanner {
 public:
  explicit SyncPlanner(RunState& state)
      : state_(state), code_(state.config->policyCode) {
    for (const auto& [key, record] : state.policies) {
      if (record.isPSO()) {
        psos_.push_back(&record);
      } else if (domainPolicy_ == nullptr) {
        domainPolicy_ = &record;
      }
    }
  }

  int Run() {
    ReadDomain();
    MatchPsos();
    ResolveSubjects();
    return PrintPlan();
  }

 private:
  void ReadDomain() {
    if (psos_.empty()) return;
    guids_ = ReadPsoGuids(state_);
    std::vector<std::string> dns;
    for (const PolicyRecord* record : psos_) dns.push_back(record->dn());
    int status = GetAppliedMemberRecords(*state_.mainConnection,
                                         state_.serverInfo.defaultNamingContext,
                                         dns, &members_, {"objectSid"});
    if (status != 0) {
      FailLdapCall(state_, "ERROR: ldap_search_s (" + dns.front() + "): ",
                   state_.controllerName, status);
    }
    for (const auto& [key, objects] : members_) {
      for (const Record& object : objects) finder_.Add(object);
    }
  }

  const PolicyRecord* ByGuid(const std::string& guid) const {
    const std::string bytes = GuidTextToBytes(guid);
    if (bytes.empty()) return nullptr;
    for (const PolicyRecord* record : psos_) {
      auto it = guids_.find(LowerCase(record->dn()));
      if (it != guids_.end() && GuidTextToBytes(it->second) == bytes)
        return record;
    }
    return nullptr;
  }

  const PolicyRecord* ByName(const std::string& name) const {
    for (const PolicyRecord* record : psos_) {
      if (LowerCase(record->name()) == LowerCase(name)) return record;
    }
    return nullptr;
  }

  // A PSO by objectGUID where the file has one and the domain holds it,
  // else by name; one PSO of the domain answers one PSO of the file.
  void MatchPsos() {
    std::map<const PolicyRecord*, std::string> matchedBy;
    for (const CodePso& pso : code_.psos) {
      PsoPlan plan;
      plan.code = &pso;
      plan.current = ByGuid(pso.objectGuid);
      if (plan.current == nullptr) plan.current = ByName(pso.record.name());
      if (plan.current != nullptr) {
        auto [it, added] = matchedBy.emplace(plan.current, pso.place);
        if (!added) {
          Refuse({"ERROR: " + VisibleText(pso.place) + " and " +
                  VisibleText(it->second) + " are the same PSO (" +
                  VisibleText(plan.current->dn()) + ")."});
        }
      }
      plans_.push_back(std::move(plan));
    }
    for (const PolicyRecord* record : psos_) {
      if (!matchedBy.contains(record)) unmanaged_.push_back(record);
    }
  }

  // Subjects the PSOs do not hold yet are read with one search, never one
  // per subject.
  void SearchUnknownSubjects() {
    std::string terms;
    for (const PsoPlan& plan : plans_) {
      for (const CodeSubject& subject : plan.code->subjects) {
        if (finder_.Find(subject) != nullptr) continue;
        if (!subject.objectSid.empty())
          terms +=
              "(objectSid=" + EscapeFilterValue(subject.objectSid, false) + ")";
        if (!subject.dn.empty())
          terms +=
              "(distinguishedName=" + EscapeFilterValue(subject.dn, false) +
              ")";
        if (!subject.accountName.empty())
          terms += "(sAMAccountName=" +
                   EscapeFilterValue(subject.accountName, false) + ")";
      }
    }
    if (terms.empty()) return;
    const std::string& base = state_.serverInfo.defaultNamingContext;
    int status = LdapGetRecPages(
        *state_.mainConnection, base, "subtree", "|" + terms,
        {"objectClass", "sAMAccountName", "objectSid", "groupType"},
        ControlMap(), {.pageSize = kPageSize}, [this](RecordSet& page) {
          for (const Record& object : page) finder_.Add(object);
        });
    if (status != 0) {
      FailLdapCall(state_, "ERROR: ldap_search_s (" + base + "): ",
                   state_.controllerName, status);
    }
  }

  void ResolveSubjects() {
    SearchUnknownSubjects();
    for (PsoPlan& plan : plans_) {
      for (const CodeSubject& subject : plan.code->subjects) {
        const Record* object = finder_.Find(subject);
        if (object == nullptr) {
          Refuse({"ERROR: At " + VisibleText(subject.place) + ": " +
                  VisibleText(SubjectName(subject)) + " was not found."});
        }
        PsoSubject kind = Subject(*object);
        if (!kind.takesEffect && !(kind.isGroup && state_.config->override)) {
          Refuse({"ERROR: At " + VisibleText(subject.place) + ": " +
                      VisibleText(FirstValue(*object, kDnKey)) + " is a " +
                      kind.kind + "; the PSO would have no effect on it.",
                  "ERROR: A PSO applies only to users, inetOrgPersons and "
                  "global security groups."});
        }
        plan.subjectDns.push_back(FirstValue(*object, kDnKey));
      }
    }
  }

  std::vector<std::string> CurrentSubjects(const PolicyRecord& record) const {
    std::vector<std::string> dns;
    auto it = members_.find(LowerCase(record.dn()));
    if (it == members_.end()) return dns;
    for (const Record& object : it->second)
      dns.push_back(FirstValue(object, kDnKey));
    return dns;
  }

  static bool Holds(const std::vector<std::string>& dns,
                    const std::string& dn) {
    return std::any_of(dns.begin(), dns.end(), [&dn](const std::string& d) {
      return LowerCase(d) == LowerCase(dn);
    });
  }

  // The lines of one PSO's changes; empty when it matches the file.
  std::vector<std::string> PsoChanges(const PsoPlan& plan) const {
    std::vector<std::string> lines;
    const PolicyRecord& want = plan.code->record;
    if (plan.current == nullptr) {
      lines.push_back("  PSO " + VisibleText(want.name()) + ": to be created");
      for (SettingId id : ComparedSettings()) {
        lines.push_back("    " + std::string(Setting(id).displayLabel) +
                        want.Text(id));
      }
      for (const std::string& dn : plan.subjectDns)
        lines.push_back("    + " + VisibleText(dn));
      return lines;
    }
    const PolicyRecord& have = *plan.current;
    if (have.name() != want.name()) {
      lines.push_back("    renamed: " + VisibleText(have.name()) + " -> " +
                      VisibleText(want.name()));
    }
    if (plan.code->hasDisplayName && have.displayName() != want.displayName()) {
      lines.push_back(
          "    Display Name       : " + VisibleText(have.displayName()) +
          " -> " + VisibleText(want.displayName()));
    }
    AddSettingChanges(have, want, ComparedSettings(), &lines);
    std::vector<std::string> current = CurrentSubjects(have);
    for (const std::string& dn : plan.subjectDns) {
      if (!Holds(current, dn)) lines.push_back("    + " + VisibleText(dn));
    }
    for (const std::string& dn : current) {
      if (!Holds(plan.subjectDns, dn))
        lines.push_back("    - " + VisibleText(dn));
    }
    if (!lines.empty()) {
      lines.insert(lines.begin(), "  PSO " + VisibleText(have.name()) + " (" +
                                      VisibleText(have.dn()) + ")");
    }
    return lines;
  }

  static void AddSettingChanges(const PolicyRecord& have,
                                const PolicyRecord& want,
                                const std::vector<SettingId>& ids,
                                std::vector<std::string>* lines) {
    for (SettingId id : ids) {
      if (!have.IsUnset(id) && have.InvalidText(id) == nullptr &&
          have.Value(id) == want.Value(id))
        continue;
      lines->push_back("    " + std::string(Setting(id).displayLabel) +
                       SettingText(have, id) + " -> " + want.Text(id));
    }
  }

  // Two PSOs of one precedence that a user can both be subject to: which
  // one the directory picks is no choice of the file's. Ties among the PSOs
  // the file leaves alone are not the file's to warn about.
  void WarnDuplicatePrecedences() const {
    std::map<int, std::vector<std::string>> byPrecedence;
    std::map<int, bool> named;
    for (const PsoPlan& plan : plans_) {
      byPrecedence[plan.code->record.precedence()].push_back(
          plan.code->record.name());
      named[plan.code->record.precedence()] = true;
    }
    for (const PolicyRecord* record : unmanaged_)
      byPrecedence[record->precedence()].push_back(record->name());
    for (const auto& [precedence, names] : byPrecedence) {
      if (names.size() < 2 || !named.contains(precedence)) continue;
      std::string list;
      for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + VisibleText(name);
      PrintLine("WARN:");
      PrintLine("WARN: Precedence " + std::to_string(precedence) +
                " is shared by " + list + ".");
      PrintLine("WARN:");
    }
  }

  int PrintPlan() {
    std::vector<std::string> lines;
    for (const PsoPlan& plan : plans_) {
      std::vector<std::string> changes = PsoChanges(plan);
      lines.insert(lines.end(), changes.begin(), changes.end());
    }
    std::vector<std::string> domainLines;
    if (code_.hasDomainPolicy && domainPolicy_ != nullptr) {
      std::vector<SettingId> ids(ListedSettings().begin(),
                                 ListedSettings().end());
      AddSettingChanges(*domainPolicy_, code_.domainPolicy, ids, &domainLines);
    }
    WarnDuplicatePrecedences();
    PrintLine("");
    PrintNotForRealBanner();
    const bool changes = !lines.empty() || !domainLines.empty();
    if (!changes) {
      PrintLine("The domain matches " + VisibleText(state_.config->syncFile) +
                ": nothing to change.");
    } else {
      PrintLine("Changes to make had this been for real.");
      for (const std::string& line : lines) PrintLine(line);
      if (!domainLines.empty()) {
        PrintLine("  Domain Policy (" + VisibleText(domainPolicy_->dn()) + ")");
        for (const std::string& line : domainLines) PrintLine(line);
        WarnGroupPolicyOwnsDomainPolicy();
      }
    }
    if (!unmanaged_.empty()) {
      PrintLine("PSOs the file does not name, left alone:");
      for (const PolicyRecord* record : unmanaged_)
        PrintLine("  " + VisibleText(record->dn()));
    }
    PrintLine("");
    return changes ? kExitFindings : 0;
  }

  RunState& state_;
  const PolicyCode& code_;
  std::vector<const PolicyRecord*> psos_;
  const PolicyRecord* domainPolicy_ = nullptr;
  std::map<std::string, std::string> guids_;
  AppliedMemberRecordsByPso members_;
  SubjectFinder finder_;
  std::vector<PsoPlan> plans_;
  std::vector<const PolicyRecord*> unmanaged_;
};

}  // namespace

void RunSync(RunState& state) {
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Sync");
  state.exitCode = SyncPlanner(state).Run();
}

}  // namespace talvex
