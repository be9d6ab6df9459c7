#include "operations/json_sync.h"

#include <string>

#include "operations/json_document.h"

namespace talvex {
namespace {

// The value a setting had, null where the domain held none it could read.
JsonDocument OldValue(const PolicyRecord* have, SettingId id) {
  if (have == nullptr || have->IsUnset(id) || have->InvalidText(id) != nullptr)
    return nullptr;
  return SettingJson(id, have->Value(id));
}

JsonDocument SettingChanges(const std::vector<SettingId>& ids,
                            const PolicyRecord* have,
                            const PolicyRecord& want) {
  JsonDocument changes = JsonDocument::array();
  for (SettingId id : ids) {
    // Precedence has no key among the settings of a policy document.
    const char* key = Setting(id).jsonKey;
    changes.push_back({{"setting", key != nullptr ? key : "precedence"},
                       {"old", OldValue(have, id)},
                       {"new", SettingJson(id, want.Value(id))}});
  }
  return changes;
}

const char* ChangeWord(const SyncPso& pso) {
  if (pso.current == nullptr) return "create";
  return pso.HasChanges() ? "modify" : "none";
}

JsonDocument PsoJson(const SyncPso& pso) {
  const PolicyRecord& want = pso.code->record;
  JsonDocument json;
  json["name"] = want.name();
  json["dn"] = pso.dn;
  json["change"] = ChangeWord(pso);
  json["renamedFrom"] =
      pso.renamed ? JsonDocument(pso.current->name()) : JsonDocument(nullptr);
  json["displayName"] =
      pso.displayNameChanged
          ? JsonDocument{{"old", pso.current->displayName()},
                         {"new", want.displayName()}}
          : JsonDocument(nullptr);
  // "precedence" is a setting of the change list too.
  json["settings"] = SettingChanges(pso.settings, pso.current, want);
  json["subjectsAdded"] = pso.added;
  json["subjectsRemoved"] = pso.removed;
  return json;
}

const char* FateWord(UnmanagedFate fate) {
  switch (fate) {
    case UnmanagedFate::kDeleted:
      return "delete";
    case UnmanagedFate::kInUse:
      return "keepInUse";
    case UnmanagedFate::kProtected:
      return "keepProtected";
    case UnmanagedFate::kLeftAlone:
      break;
  }
  return "leave";
}

}  // namespace

void PrintSyncDocument(const RunState& state, const SyncPlan& plan,
                       bool applied) {
  const RunConfig& config = *state.config;
  JsonDocument document = DocumentHead(state, "sync");
  JsonDocument& sync = document["sync"];
  sync["file"] = config.syncFile;
  sync["changes"] = plan.HasChanges();
  sync["applied"] = applied;
  JsonDocument& psos = sync["psos"] = JsonDocument::array();
  for (const SyncPso& pso : plan.psos) psos.push_back(PsoJson(pso));
  sync["domainPolicy"] =
      plan.domainPolicy == nullptr
          ? JsonDocument(nullptr)
          : JsonDocument{{"dn", plan.domainPolicy->dn()},
                         {"settings",
                          SettingChanges(plan.domainSettings, plan.domainPolicy,
                                         config.policyCode.domainPolicy)}};
  JsonDocument& unmanaged = sync["unmanaged"] = JsonDocument::array();
  for (const UnmanagedPso& pso : plan.unmanaged) {
    unmanaged.push_back({{"name", pso.record->name()},
                         {"dn", pso.record->dn()},
                         {"subjects", pso.subjectCount},
                         {"fate", FateWord(pso.fate)}});
  }
  PrintJsonDocument(document);
}

}  // namespace talvex
