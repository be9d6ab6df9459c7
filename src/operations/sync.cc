// The Sync section: makes the domain match a policy document. The plan is
// built and checked whole before anything is written; without -forreal it
// is only shown. With -forreal every change of one PSO goes in one modify
// (settings and subjects together, so that no user is ever between two
// halves of a change), then the renames, the new PSOs, the deletes and the
// domain policy; then everything is read back and compared with the file.
#include <functional>
#include <string>
#include <vector>

#include "directory/distinguished_name.h"
#include "directory/ldap_modify.h"
#include "operations/actions.h"
#include "operations/add.h"
#include "operations/json_sync.h"
#include "operations/modify_policy.h"
#include "operations/run_failure.h"
#include "operations/sync_plan.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/policy_display.h"
#include "policy/pso_retrieval.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/run_exit.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

std::string Indented(const std::string& text) { return "    " + text; }

void AddPsoLines(const SyncPso& pso, std::vector<std::string>* lines) {
  const PolicyRecord& want = pso.code->record;
  if (pso.current == nullptr) {
    lines->push_back("  PSO " + VisibleText(want.name()) + ": to be created");
    for (SettingId id : pso.settings) {
      lines->push_back(
          Indented(std::string(Setting(id).displayLabel) + want.Text(id)));
    }
    for (const std::string& dn : pso.added)
      lines->push_back(Indented("+ " + VisibleText(dn)));
    return;
  }
  if (!pso.HasChanges()) return;
  const PolicyRecord& have = *pso.current;
  lines->push_back("  PSO " + VisibleText(have.name()) + " (" +
                   VisibleText(have.dn()) + ")");
  if (pso.renamed) {
    lines->push_back(Indented("renamed: " + VisibleText(have.name()) + " -> " +
                              VisibleText(want.name())));
  }
  if (pso.displayNameChanged) {
    lines->push_back(Indented("Display Name       : " +
                              VisibleText(have.displayName()) + " -> " +
                              VisibleText(want.displayName())));
  }
  for (SettingId id : pso.settings) {
    lines->push_back(Indented(std::string(Setting(id).displayLabel) +
                              SettingText(have, id) + " -> " + want.Text(id)));
  }
  for (const std::string& dn : pso.added)
    lines->push_back(Indented("+ " + VisibleText(dn)));
  for (const std::string& dn : pso.removed)
    lines->push_back(Indented("- " + VisibleText(dn)));
}

// The PSO lines of the plan: the file's PSOs, then those -prune deletes.
std::vector<std::string> PsoLines(const SyncPlan& plan) {
  std::vector<std::string> lines;
  for (const SyncPso& pso : plan.psos) AddPsoLines(pso, &lines);
  for (const UnmanagedPso& pso : plan.unmanaged) {
    if (pso.fate != UnmanagedFate::kDeleted) continue;
    lines.push_back("  PSO " + VisibleText(pso.record->name()) + " (" +
                    VisibleText(pso.record->dn()) + "): to be deleted");
  }
  return lines;
}

std::vector<std::string> DomainLines(const SyncPlan& plan,
                                     const PolicyRecord& want) {
  std::vector<std::string> lines;
  for (SettingId id : plan.domainSettings) {
    lines.push_back(Indented(std::string(Setting(id).displayLabel) +
                             SettingText(*plan.domainPolicy, id) + " -> " +
                             want.Text(id)));
  }
  return lines;
}

std::string UnmanagedLine(const UnmanagedPso& pso) {
  std::string line = "  " + VisibleText(pso.record->dn());
  if (pso.fate == UnmanagedFate::kInUse) {
    line += " (applies to " + std::to_string(pso.subjectCount) +
            (pso.subjectCount == 1 ? " object" : " objects") +
            "; -override deletes it)";
  } else if (pso.fate == UnmanagedFate::kProtected) {
    line += " (protected from accidental deletion)";
  }
  return line;
}

// The plan in words: the changes, the domain policy's with the Group Policy
// warning, and the PSOs that stay as they are.
void PrintPlan(const RunState& state, const SyncPlan& plan) {
  const RunConfig& config = *state.config;
  PrintLine("");
  if (!config.forReal) PrintNotForRealBanner();
  if (!plan.HasChanges()) {
    PrintLine("The domain matches " + VisibleText(config.syncFile) +
              ": nothing to change.");
  } else {
    PrintLine(config.forReal ? "Changes to make:"
                             : "Changes to make had this been for real.");
    for (const std::string& line : PsoLines(plan)) PrintLine(line);
    if (!plan.domainSettings.empty()) {
      PrintLine("  Domain Policy (" + VisibleText(plan.domainPolicy->dn()) +
                ")");
      for (const std::string& line :
           DomainLines(plan, config.policyCode.domainPolicy))
        PrintLine(line);
      WarnGroupPolicyOwnsDomainPolicy();
    }
  }
  bool heading = false;
  for (const UnmanagedPso& pso : plan.unmanaged) {
    if (pso.fate == UnmanagedFate::kDeleted) continue;
    if (!heading) PrintLine("PSOs the file does not name, left alone:");
    heading = true;
    PrintLine(UnmanagedLine(pso));
  }
  PrintLine("");
}

// One write of the run: what it is, as done and as still to do, and how
// it is sent.
struct SyncWrite {
  std::string done;
  std::string pending;
  std::string label;  // of the failure report
  std::function<int()> send;
};

std::vector<LdapModification> PsoModifications(const SyncPso& pso) {
  const PolicyRecord& want = pso.code->record;
  std::vector<LdapModification> changes;
  if (pso.displayNameChanged) {
    changes.push_back(want.displayName().empty()
                          ? LdapModification{LdapModOp::kDelete, "displayName",
                                             {}}
                          : LdapModification{LdapModOp::kReplace, "displayName",
                                             {want.displayName()}});
  }
  for (SettingId id : pso.settings) {
    changes.push_back({LdapModOp::kReplace, Setting(id).psoAttribute,
                       {want.DirectoryText(id)}});
  }
  if (!pso.removed.empty())
    changes.push_back({LdapModOp::kDelete, kPsoAppliesToAttribute, pso.removed});
  if (!pso.added.empty())
    changes.push_back({LdapModOp::kAdd, kPsoAppliesToAttribute, pso.added});
  return changes;
}

// The domain head's change lines, pwdProperties with its other bits kept.
std::vector<LdapModification> DomainModifications(const SyncPlan& plan,
                                                  const PolicyRecord& want) {
  PolicyRecord change(false, true);
  change.SetRawProperties(plan.domainPolicy->rawProperties());
  for (SettingId id : plan.domainSettings) change.SetSetting(id, want.Text(id));
  std::vector<LdapModification> changes;
  for (const std::string& line : PolicyChangeLines(change)) {
    std::size_t colon = line.find(':');
    changes.push_back({LdapModOp::kReplace, line.substr(0, colon),
                       {line.substr(colon + 1)}});
  }
  return changes;
}

void DebugWrite(const std::string& what, const std::string& dn,
                const std::vector<LdapModification>& changes) {
  if (Output().debugLevel < 5) return;
  PrintDebugLine(what + dn);
  for (const LdapModification& change : changes) {
    for (const std::string& value : change.values)
      PrintDebugLine("   " + change.attribute + " = " + value);
  }
}

std::vector<SyncWrite> Writes(RunState& state, const SyncPlan& plan) {
  LdapConnection& connection = *state.mainConnection;
  std::vector<SyncWrite> writes;
  for (const SyncPso& pso : plan.psos) {
    if (pso.current == nullptr) continue;
    std::vector<LdapModification> changes = PsoModifications(pso);
    if (changes.empty()) continue;
    writes.push_back(
        {"  Modified " + VisibleText(pso.dn), "  Modify " + VisibleText(pso.dn),
         "ERROR: ldap_modify_s (" + pso.dn + "): ",
         [&connection, dn = pso.dn, changes] {
           DebugWrite("Modifying Object: ", dn, changes);
           return connection.Modify(dn, changes);
         }});
  }
  for (const SyncPso& pso : plan.psos) {
    if (!pso.renamed) continue;
    const std::string& name = pso.code->record.name();
    const std::string to = RenamedDn(pso.dn, name);
    writes.push_back({"  Renamed " + VisibleText(pso.dn) + " to " +
                          VisibleText(to),
                      "  Rename " + VisibleText(pso.dn) + " to " +
                          VisibleText(to),
                      "ERROR: ldap_rename_ext_s (" + pso.dn + "): ",
                      [&connection, dn = pso.dn, name] {
                        return LdapRename(connection, dn, name);
                      }});
  }
  for (const SyncPso& pso : plan.psos) {
    if (pso.current != nullptr) continue;
    PolicyRecord record = pso.code->record;
    record.SetDN(pso.dn);
    writes.push_back(
        {"  Created " + VisibleText(pso.dn), "  Create " + VisibleText(pso.dn),
         "ERROR: ldap_add_s (" + pso.dn + "): ",
         [&connection, record, subjects = pso.added] {
           return AddPSO(record, connection, subjects);
         }});
  }
  for (const UnmanagedPso& pso : plan.unmanaged) {
    if (pso.fate != UnmanagedFate::kDeleted) continue;
    const std::string dn = pso.record->dn();
    writes.push_back({"  Deleted " + VisibleText(dn),
                      "  Delete " + VisibleText(dn),
                      "ERROR: ldap_delete_s (" + dn + "): ",
                      [&connection, dn] { return LdapDelete(connection, dn); }});
  }
  if (!plan.domainSettings.empty()) {
    const std::string dn = plan.domainPolicy->dn();
    std::vector<LdapModification> changes =
        DomainModifications(plan, state.config->policyCode.domainPolicy);
    writes.push_back({"  Modified Domain Policy (" + VisibleText(dn) + ")",
                      "  Modify Domain Policy (" + VisibleText(dn) + ")",
                      "ERROR: ldap_modify_s (" + dn + "): ",
                      [&connection, dn, changes] {
                        DebugWrite("Modifying Object: ", dn, changes);
                        return connection.Modify(dn, changes);
                      }});
  }
  return writes;
}

// Sends the writes in order. A refused one ends the run there, with the
// writes made and those not made named: the directory holds the first
// ones, the file's state is reached by mending the cause and running again.
void Apply(RunState& state, const SyncPlan& plan) {
  // Nothing is sent to an object outside the domain's PSO container, whatever
  // the server listed.
  for (const SyncPso& pso : plan.psos) {
    if (pso.current != nullptr) RequirePsoOfTheRun(state, pso.dn);
  }
  for (const UnmanagedPso& pso : plan.unmanaged) {
    if (pso.fate == UnmanagedFate::kDeleted)
      RequirePsoOfTheRun(state, pso.record->dn());
  }
  std::vector<SyncWrite> writes = Writes(state, plan);
  PrintLine("Making the changes:");
  for (std::size_t i = 0; i < writes.size(); ++i) {
    int code = writes[i].send();
    if (code == 0) {
      PrintLine(writes[i].done);
      continue;
    }
    PrintLine("Changes not made:");
    for (std::size_t j = i; j < writes.size(); ++j)
      PrintLine(writes[j].pending);
    PrintLine("");
    FailLdapCall(state, writes[i].label, state.controllerName, code);
  }
}

// The domain's policies as they are after the writes.
PolicyList ReadAgain(RunState& state) {
  PolicyList fresh;
  int ldapError = 0;
  int systemError = 0;
  PsoSelection selection{.name = "*"};
  if (!GetPSOs(state.access, &fresh, *state.mainConnection,
               state.serverInfo.defaultNamingContext, false, selection,
               &ldapError, &systemError)) {
    FailPsoRetrieval(state, ldapError, systemError,
                     /*treatNoSuchObjectAsNoMatch=*/false);
  }
  if (state.config->policyCode.hasDomainPolicy &&
      !GetDomGPOs(state.access, &fresh, state.domainDn, false,
                  state.domainList, &ldapError, &systemError)) {
    FailDomainPolicyRetrieval(state, ldapError, systemError);
  }
  return fresh;
}

// What the server accepted is not always what it holds: a value it
// normalised, a link it dropped. The run succeeds only when the domain
// read back matches the file.
void CheckReadBack(RunState& state) {
  PrintLine("Reading the policies back...");
  PolicyList fresh = ReadAgain(state);
  SyncPlan left = PlanSync(state, fresh);
  if (!left.HasChanges()) {
    PrintLine("The domain matches " + VisibleText(state.config->syncFile) +
              ".");
    PrintLine("");
    return;
  }
  PrintLine("ERROR:");
  PrintLine("ERROR: Every change was accepted, but the domain read back still "
            "differs from " +
            VisibleText(state.config->syncFile) + ":");
  for (const std::string& line : PsoLines(left)) PrintLine("ERROR: " + line);
  for (const std::string& line :
       DomainLines(left, state.config->policyCode.domainPolicy))
    PrintLine("ERROR:   Domain Policy:" + line);
  PrintLine("ERROR:");
  FailRun(1);
}

}  // namespace

void RunSync(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Sync");
  SyncPlan plan = PlanSync(state, state.policies);
  WarnSharedPrecedences(plan);
  const bool changes = plan.HasChanges();
  if (!config.json) PrintPlan(state, plan);
  if (config.forReal && changes) {
    Apply(state, plan);
    CheckReadBack(state);
  }
  if (config.json) PrintSyncDocument(state, plan, config.forReal && changes);
  state.exitCode = changes && !config.forReal ? kExitFindings : 0;
}

}  // namespace talvex
