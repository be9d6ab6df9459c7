// Adding, removing and clearing the objects a Password Settings Object
// applies to (its msDS-PSOAppliesTo values).
#include <string>
#include <vector>

#include "directory/ldap_modify.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/object_filter.h"
#include "operations/run_failure.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// True when there is exactly one PSO to work on; prints the empty-selection
// text and returns false when there is none.
bool HasSelectedPso(const RunState& state) {
  if (!state.policies.empty()) return true;
  PrintLine("");
  PrintLine("No PSO found matching specified criteria.");
  PrintLine("");
  return false;
}

// The object's classes (most specific last) and group type; empty when
// they cannot be read.
struct ObjectType {
  std::vector<std::string> classes;
  std::string groupType;
};

const std::vector<std::string> kObjectTypeAttributes = {"objectClass",
                                                        "groupType"};

ObjectType ObjectTypeOf(const Record& record) {
  const std::vector<std::string>* classes =
      FindAttribute(record, "objectClass");
  if (classes == nullptr) return {};
  return {*classes, FirstAttributeValue(record, "groupType")};
}

// The object named by the value, and with `type` its type too: asked in
// the same search, unless the debug lines show the searches one by one.
std::string FindObjectDn(RunState& state, const std::string& value,
                         ObjectType* type) {
  const std::string& base = state.serverInfo.defaultNamingContext;
  if (type == nullptr || SearchParametersShown()) {
    std::string dn =
        GetDN(*state.mainConnection, base, "subtree", ObjectFilter(value));
    if (type == nullptr || dn.empty()) return dn;
    Record record;
    if (LdapGetRec(*state.mainConnection, dn, "base", "objectClass=*",
                   AttributeSet(kObjectTypeAttributes.begin(),
                                kObjectTypeAttributes.end()),
                   {}, &record) == 0) {
      *type = ObjectTypeOf(record);
    }
    return dn;
  }
  Record record;
  std::string dn = GetDN(*state.mainConnection, base, "subtree",
                         ObjectFilter(value), kObjectTypeAttributes, &record);
  *type = ObjectTypeOf(record);
  return dn;
}

// A PSO governs users (inetOrgPerson is one) and groups only; a computer is
// a user by class but takes the domain policy, and links to anything else
// (the domain head, containers, OUs, other PSOs, contacts) are accepted by
// the directory and do nothing. Classes that cannot be read are left to the
// server to judge.
bool CanBeGoverned(const std::vector<std::string>& classes) {
  bool user = false;
  bool group = false;
  bool computer = false;
  for (const std::string& name : classes) {
    const std::string lower = LowerCase(name);
    user = user || lower == "user";
    group = group || lower == "group";
    computer = computer || lower == "computer";
  }
  return classes.empty() || group || (user && !computer);
}

void RefuseUngovernable(const std::string& value,
                        const std::vector<std::string>& classes) {
  PrintLine("ERROR:");
  PrintLine("ERROR: Invalid object for this PSO. (" + VisibleText(value) + ")");
  PrintLine("ERROR: The object is of class " + VisibleText(classes.back()) +
            "; a PSO applies only to users (including inetOrgPerson) and "
            "groups.");
  PrintLine("ERROR:");
  ShowUsageHint();
}

// The directory takes a link to any group; Windows then ignores it.
void RefuseIneffectiveGroup(const std::string& value, const PsoSubject& group) {
  PrintLine("ERROR:");
  PrintLine("ERROR: " + VisibleText(value) + " is a " + group.kind +
            "; the PSO would have no effect on it.");
  PrintLine(
      "ERROR: A PSO applies only to users, inetOrgPersons and global "
      "security groups.");
  PrintLine("ERROR: Use -override to link it all the same.");
  PrintLine("ERROR:");
  ShowUsageHint();
}

void FailModify(RunState& state, const std::string& psoDn, int status) {
  FailLdapCall(state,
               "ERROR: ldap_modify_s (" + psoDn + "): ", state.controllerName,
               status);
}

}  // namespace

void SendApplyToObjectSearchAhead(RunState& state) {
  const RunConfig& config = *state.config;
  const bool typeInSameSearch =
      config.action == ActionCode::kApplyTo && !SearchParametersShown();
  GetDnSendAhead(*state.mainConnection, state.serverInfo.defaultNamingContext,
                 "subtree", ObjectFilter(config.memberTarget),
                 typeInSameSearch ? kObjectTypeAttributes
                                  : std::vector<std::string>{});
}

void RunApplyTo(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1)
    PrintDebugLine("Operation: ApplyTo / UnApplyTo");
  if (!HasSelectedPso(state)) return;
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Can only apply a single PSO to an object at a time.");
    PrintLine("ERROR: " + std::to_string(state.policies.size()) +
              " PSOs returned with specified criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  const std::string& psoDn = state.policies.begin()->second.dn();

  // Removing a link needs no type: links written by other tools can be
  // cleaned up whatever they name.
  const bool applying = config.action == ActionCode::kApplyTo;
  ObjectType type;
  std::string objectDn =
      FindObjectDn(state, config.memberTarget, applying ? &type : nullptr);
  if (objectDn.empty()) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Invalid object for this PSO. (" +
              VisibleText(config.memberTarget) + ")");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  if (applying) {
    if (!CanBeGoverned(type.classes))
      RefuseUngovernable(config.memberTarget, type.classes);
    PsoSubject subject = ClassifyPsoSubject(type.classes, type.groupType);
    if (subject.isGroup && !subject.takesEffect && !config.override)
      RefuseIneffectiveGroup(config.memberTarget, subject);
  }

  if (config.forReal) {
    RequirePsoOfTheRun(state, psoDn);
    PrintLine("Applying PSO " + VisibleText(psoDn));
    PrintLine("to object " + VisibleText(objectDn));
    bool add = config.action == ActionCode::kApplyTo;
    int status = LdapSetValues(*state.mainConnection, psoDn,
                               kPsoAppliesToAttribute, {objectDn}, add);
    if (status != 0) FailModify(state, psoDn, status);
    PrintLine("PSO successfully updated.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("Modification to make had this been for real.");
    PrintLine("  " + VisibleText(psoDn));
  }
  PrintLine("");
}

void RunClearApplied(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Clear Applied");
  if (!HasSelectedPso(state)) return;
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine("ERROR: -clearapplied only allowed on single PSO.");
    PrintLine("ERROR: More specifically specify a PSO - use DN");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  const std::string& psoDn = state.policies.begin()->second.dn();

  if (config.forReal) {
    RequirePsoOfTheRun(state, psoDn);
    PrintLine("Clearing PSO " + VisibleText(psoDn));
    int status = LdapClearAttribs(*state.mainConnection, psoDn,
                                  {kPsoAppliesToAttribute});
    if (status != 0) FailModify(state, psoDn, status);
    PrintLine("PSO successfully updated.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine(
        "PSO to have clear applied to members from had this been for real.");
    PrintLine("  " + VisibleText(psoDn));
  }
  PrintLine("");
}

}  // namespace talvex
