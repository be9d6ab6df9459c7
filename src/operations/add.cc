// The add action and the request that creates a PSO.
#include "operations/add.h"

#include <map>
#include <string>
#include <vector>

#include "directory/ldap_filter.h"
#include "operations/actions.h"
#include "operations/pso_dn.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "policy/policy_settings.h"
#include "policy/pso_subject.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The name travels in the DN, never as an attribute of the request.
std::map<std::string, std::string> PsoAttributeMap(const PolicyRecord& r) {
  std::map<std::string, std::string> attributes = {
      {"objectClass", "msDS-PasswordSettings"},
      {"displayName", r.displayName()},
      {"adminDisplayName", r.adminDisplayName()},
  };
  for (const PolicySetting& setting : PolicySettings()) {
    attributes[setting.psoAttribute] = r.DirectoryText(setting.id);
  }
  return attributes;
}

void CheckUniqueName(const PolicyRecord& added, const PolicyRecord& existing) {
  // Letter case never distinguishes two names in the directory, also beyond
  // ASCII ("Ärzte" and "ärzte").
  if (LowerCase(added.name()) != LowerCase(existing.name())) return;
  PrintLine("ERROR:");
  PrintLine("ERROR: Password Settings Object Name is not unique.");
  PrintLine("ERROR: Existing Object: ");
  PrintLine("ERROR:     " + VisibleText(existing.dn()));
  PrintLine("ERROR:");
  ShowUsageHint();
}

void CheckSameSettings(const PolicyRecord& added, const PolicyRecord& existing,
                       bool override) {
  if (!SameSettings(added, existing)) return;
  PrintLine("  WARN:");
  PrintLine(
      "  WARN: A policy setting object already exists with the same settings.");
  PrintLine("  WARN: Policy Setting object - " + VisibleText(existing.name()) +
            " (" + VisibleText(existing.dn()) + ")");
  if (override) {
    PrintLine("  WARN: Override specified, creating object.");
    PrintLine("  WARN:");
    return;
  }
  PrintLine("  ERROR: Creation of new policy terminated.");
  PrintLine("  ERROR: Use -override switch to force object creation.");
  PrintLine("  ERROR:");
  ShowUsageHint();
}

void WarnSamePrecedence(const PolicyRecord& added,
                        const PolicyRecord& existing) {
  if (added.precedence() != existing.precedence()) return;
  PrintLine("  WARN:");
  PrintLine(
      "  WARN: A policy setting object already exists with the same "
      "precedence.");
  PrintLine("  WARN: Policy Setting object - " + VisibleText(existing.name()));
  PrintLine("  WARN:     (" + VisibleText(existing.dn()) + ")");
  PrintLine(
      "  WARN: When a single user has two policies assigned with the same");
  PrintLine("  WARN: precedence at the same scope (i.e. directly applied or");
  PrintLine(
      "  WARN: or applied via group), the policy with the lowest GUID will "
      "apply.");
}

}  // namespace

int AddPSO(const PolicyRecord& record, LdapConnection& connection,
           const std::vector<std::string>& subjects) {
  if (record.dn().empty()) return ldap_result::kInvalidDnSyntax;
  // Collected by name first, so the request goes in ascending order of
  // attribute name (ordinary case-sensitive comparison).
  std::map<std::string, std::string> attributes = PsoAttributeMap(record);
  bool detail = Output().debugLevel >= 5;
  if (detail) PrintDebugLine("Adding Object: " + record.dn());
  std::vector<LdapModification> request;
  request.reserve(attributes.size());
  for (const auto& [name, value] : attributes) {
    if (detail) PrintDebugLine("   " + name + " = " + value);
    request.push_back(
        {.op = LdapModOp::kAdd, .attribute = name, .values = {value}});
  }
  if (!subjects.empty()) {
    for (const std::string& dn : subjects) {
      if (detail) PrintDebugLine(std::string("   ") + kPsoAppliesToAttribute +
                                 " = " + dn);
    }
    request.push_back({.op = LdapModOp::kAdd,
                       .attribute = kPsoAppliesToAttribute,
                       .values = subjects});
  }
  return connection.Add(record.dn(), request);
}

std::vector<std::string> AddCheckTerms(const PolicyRecord& record) {
  std::vector<std::string> terms = {
      "(name=" + EscapeFilterValue(record.name(), false) + ")"};
  std::string same;
  for (const PolicySetting& setting : PolicySettings()) {
    const std::string term = "(" + std::string(setting.psoAttribute) + "=" +
                             record.DirectoryText(setting.id) + ")";
    if (setting.id == SettingId::kPrecedence) {
      terms.push_back(term);
    } else if (setting.unit == SettingUnit::kCount ||
               setting.unit == SettingUnit::kBoolean) {
      same += term;
    }
  }
  terms.push_back("(&" + same + ")");
  return terms;
}

void RunAdd(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Add");
  PrintLine("Checking existing policies...");

  PolicyRecord record = config.addSpec;
  // Every existing PSO passes all three tests before anything is written.
  for (const auto& [key, existing] : state.policies) {
    if (!existing.isPSO()) continue;
    CheckUniqueName(record, existing);
    CheckSameSettings(record, existing, config.override);
    WarnSamePrecedence(record, existing);
  }

  std::string dn = PsoDn(record.name(), state.serverInfo.defaultNamingContext);
  PrintLine("");
  record.SetDN(dn);

  if (config.forReal) {
    PrintLine("Creating new PSO: " + VisibleText(dn));
    int code = AddPSO(record, *state.mainConnection);
    if (code != ldap_result::kSuccess) {
      FailLdapCall(state,
                   "ERROR: ldap_add_s (" + dn + "): ", state.controllerName,
                   code);
    }
    PrintLine("PSO successfully created.");
  } else {
    PrintNotForRealBanner();
    PrintLine("PSO that would have been created had this been for real.");
  }
  PrintLine("");
  DisplayPolicy(record, "");
  PrintLine("");
}

}  // namespace talvex
