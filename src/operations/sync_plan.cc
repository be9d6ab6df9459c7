#include "operations/sync_plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "directory/binary_value_text.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/applied_members.h"
#include "operations/deletion_protection.h"
#include "operations/pso_dn.h"
#include "operations/pso_guids.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

constexpr int kPageSize = 1000;

// The settings compared, precedence first, then in the order of the listing.
std::vector<SettingId> ComparedSettings() {
  std::vector<SettingId> ids = {SettingId::kPrecedence};
  for (SettingId id : ListedSettings()) ids.push_back(id);
  return ids;
}

// Differs: unset or unreadable in the domain counts as different, so that
// a sync writes what the file says.
bool SettingDiffers(const PolicyRecord& have, const PolicyRecord& want,
                    SettingId id) {
  return have.IsUnset(id) || have.InvalidText(id) != nullptr ||
         have.Value(id) != want.Value(id);
}

bool HoldsDn(const std::vector<std::string>& dns, const std::string& dn) {
  return std::any_of(dns.begin(), dns.end(), [&dn](const std::string& d) {
    return LowerCase(d) == LowerCase(dn);
  });
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

class SyncPlanner {
 public:
  SyncPlanner(RunState& state, const PolicyList& policies)
      : state_(state), code_(state.config->policyCode) {
    for (const auto& [key, record] : policies) {
      if (record.isPSO()) {
        psos_.push_back(&record);
      } else if (plan_.domainPolicy == nullptr) {
        plan_.domainPolicy = &record;
      }
    }
  }

  SyncPlan Run() {
    ReadDomain();
    MatchPsos();
    ResolveSubjects();
    CompareAll();
    CheckNames();
    return std::move(plan_);
  }

 private:
  void ReadDomain() {
    if (psos_.empty()) return;
    guids_ = ReadPsoGuids(state_);
    members_ = ReadPsoSubjects(state_, psos_);
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

  const PolicyRecord* ByName(const std::string& name,
                             const std::set<const PolicyRecord*>& taken) const {
    for (const PolicyRecord* record : psos_) {
      if (!taken.contains(record) &&
          LowerCase(record->name()) == LowerCase(name))
        return record;
    }
    return nullptr;
  }

  // A PSO by objectGUID where the file has one and the domain holds it,
  // else by name among the PSOs no GUID claimed (a PSO renamed away leaves
  // its old name to a new one); one PSO of the domain answers one PSO of
  // the file.
  void MatchPsos() {
    std::map<const PolicyRecord*, std::string> matchedBy;
    std::set<const PolicyRecord*> byGuid;
    plan_.psos.resize(code_.psos.size());
    for (std::size_t i = 0; i < code_.psos.size(); ++i) {
      plan_.psos[i].code = &code_.psos[i];
      plan_.psos[i].current = ByGuid(code_.psos[i].objectGuid);
      if (plan_.psos[i].current != nullptr)
        byGuid.insert(plan_.psos[i].current);
    }
    for (SyncPso& pso : plan_.psos) {
      if (pso.current == nullptr)
        pso.current = ByName(pso.code->record.name(), byGuid);
      if (pso.current == nullptr) continue;
      auto [it, added] = matchedBy.emplace(pso.current, pso.code->place);
      if (!added) {
        RefuseRequest({"ERROR: " + VisibleText(pso.code->place) + " and " +
                VisibleText(it->second) + " are the same PSO (" +
                VisibleText(pso.current->dn()) + ")."});
      }
    }
    for (SyncPso& pso : plan_.psos) {
      pso.dn = pso.current != nullptr
                   ? pso.current->dn()
                   : PsoDn(pso.code->record.name(),
                           state_.serverInfo.defaultNamingContext);
    }
    for (const PolicyRecord* record : psos_) {
      if (!matchedBy.contains(record)) unmanaged_.push_back(record);
    }
  }

  // Subjects the PSOs do not hold yet are read with one search, never one
  // per subject.
  void SearchUnknownSubjects() {
    std::string terms;
    for (const SyncPso& pso : plan_.psos) {
      for (const CodeSubject& subject : pso.code->subjects) {
        if (finder_.Find(subject) != nullptr) continue;
        if (!subject.objectSid.empty())
          terms +=
              "(objectSid=" + EscapeFilterValue(subject.objectSid, false) + ")";
        if (!subject.dn.empty())
          terms += "(distinguishedName=" +
                   EscapeFilterValue(subject.dn, false) + ")";
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
    for (SyncPso& pso : plan_.psos) {
      for (const CodeSubject& subject : pso.code->subjects) {
        const Record* object = finder_.Find(subject);
        if (object == nullptr) {
          RefuseRequest({"ERROR: At " + VisibleText(subject.place) + ": " +
                  VisibleText(SubjectName(subject)) + " was not found."});
        }
        PsoSubject kind = Subject(*object);
        if (!kind.takesEffect && !(kind.isGroup && state_.config->override)) {
          RefuseRequest({"ERROR: At " + VisibleText(subject.place) + ": " +
                      VisibleText(FirstValue(*object, kDnKey)) + " is a " +
                      kind.kind + "; the PSO would have no effect on it.",
                  "ERROR: A PSO applies only to users, inetOrgPersons and "
                  "global security groups."});
        }
        // Two names of one object in the file make one subject.
        const std::string dn = FirstValue(*object, kDnKey);
        if (!HoldsDn(pso.subjects, dn)) pso.subjects.push_back(dn);
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

  void Compare(SyncPso& pso) const {
    const PolicyRecord& want = pso.code->record;
    if (pso.current == nullptr) {
      pso.settings = ComparedSettings();
      pso.added = pso.subjects;
      return;
    }
    const PolicyRecord& have = *pso.current;
    pso.renamed = have.name() != want.name();
    pso.displayNameChanged =
        pso.code->hasDisplayName && have.displayName() != want.displayName();
    for (SettingId id : ComparedSettings()) {
      if (SettingDiffers(have, want, id)) pso.settings.push_back(id);
    }
    std::vector<std::string> current = CurrentSubjects(have);
    for (const std::string& dn : pso.subjects) {
      if (!HoldsDn(current, dn)) pso.added.push_back(dn);
    }
    for (const std::string& dn : current) {
      if (!HoldsDn(pso.subjects, dn)) pso.removed.push_back(dn);
    }
  }

  void CompareAll() {
    for (SyncPso& pso : plan_.psos) Compare(pso);
    if (code_.hasDomainPolicy && plan_.domainPolicy != nullptr) {
      for (SettingId id : ListedSettings()) {
        if (SettingDiffers(*plan_.domainPolicy, code_.domainPolicy, id))
          plan_.domainSettings.push_back(id);
      }
    } else {
      plan_.domainPolicy = nullptr;
    }
    const RunConfig& config = *state_.config;
    std::set<std::string> protectedPsos;
    if (config.prune && !unmanaged_.empty())
      protectedPsos = ProtectedPsos(state_);
    for (const PolicyRecord* record : unmanaged_) {
      UnmanagedPso pso{.record = record,
                       .subjectCount = CurrentSubjects(*record).size()};
      if (!config.prune) {
        pso.fate = UnmanagedFate::kLeftAlone;
      } else if (protectedPsos.contains(LowerCase(record->dn()))) {
        pso.fate = UnmanagedFate::kProtected;
      } else if (pso.subjectCount != 0 && !config.override) {
        pso.fate = UnmanagedFate::kInUse;
      } else {
        pso.fate = UnmanagedFate::kDeleted;
      }
      plan_.unmanaged.push_back(pso);
    }
  }

  // The writes go in the order modify, rename, create, delete: a name a
  // rename or a creation needs must be free at that step, or the directory
  // refuses the write half-way through the run.
  void CheckNames() const {
    std::map<std::string, const PolicyRecord*> held;
    for (const PolicyRecord* record : psos_)
      held[LowerCase(record->name())] = record;
    auto take = [&held](const SyncPso& pso) {
      const std::string name = LowerCase(pso.code->record.name());
      auto it = held.find(name);
      if (it != held.end() && it->second != pso.current) {
        RefuseRequest({"ERROR: At " + VisibleText(pso.code->place) + ": the name " +
                    VisibleText(pso.code->record.name()) +
                    " is held by another PSO (" +
                    VisibleText(it->second->dn()) + ").",
                "ERROR: Rename or remove that PSO first."});
      }
      held[name] = pso.current;
    };
    for (const SyncPso& pso : plan_.psos) {
      if (!pso.renamed) continue;
      held.erase(LowerCase(pso.current->name()));
      take(pso);
    }
    for (const SyncPso& pso : plan_.psos) {
      if (pso.current == nullptr) take(pso);
    }
  }

  RunState& state_;
  const PolicyCode& code_;
  std::vector<const PolicyRecord*> psos_;
  std::map<std::string, std::string> guids_;
  AppliedMemberRecordsByPso members_;
  SubjectFinder finder_;
  std::vector<const PolicyRecord*> unmanaged_;
  SyncPlan plan_;
};

}  // namespace

bool SyncPlan::HasChanges() const {
  for (const SyncPso& pso : psos) {
    if (pso.HasChanges()) return true;
  }
  for (const UnmanagedPso& pso : unmanaged) {
    if (pso.fate == UnmanagedFate::kDeleted) return true;
  }
  return !domainSettings.empty();
}

SyncPlan PlanSync(RunState& state, const PolicyList& policies) {
  return SyncPlanner(state, policies).Run();
}

// Two PSOs of one precedence that a user can both be subject to: which one
// the directory picks is no choice of the file's. Ties among the PSOs the
// file leaves alone are not the file's to warn about, nor those with a PSO
// the run deletes.
void WarnSharedPrecedences(const SyncPlan& plan) {
  std::map<int, std::vector<std::string>> byPrecedence;
  std::set<int> named;
  for (const SyncPso& pso : plan.psos) {
    byPrecedence[pso.code->record.precedence()].push_back(
        pso.code->record.name());
    named.insert(pso.code->record.precedence());
  }
  for (const UnmanagedPso& pso : plan.unmanaged) {
    if (pso.fate != UnmanagedFate::kDeleted)
      byPrecedence[pso.record->precedence()].push_back(pso.record->name());
  }
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

}  // namespace talvex
