#include "operations/json_audit.h"

#include "operations/json_document.h"
#include "policy/policy_settings.h"
#include "support/interval.h"

namespace talvex {
namespace {

// A bound or required value as a profile file writes it: "never" for the
// never duration, true/false for a boolean.
JsonDocument ProfileValue(SettingId id, const std::optional<int>& value) {
  if (!value) return nullptr;
  const PolicySetting& setting = Setting(id);
  if (setting.unit == SettingUnit::kBoolean) return *value != 0;
  if (setting.unit != SettingUnit::kCount && *value == kNeverCount)
    return "never";
  return *value;
}

JsonDocument ProfileJson(const AuditProfile& profile) {
  JsonDocument json;
  json["name"] = profile.name;
  json["title"] = TextOrNull(profile.title);
  JsonDocument& requirements = json["requirements"] = JsonDocument::array();
  for (const SettingRequirement& requirement : profile.requirements) {
    JsonDocument item;
    item["setting"] = Setting(requirement.id).jsonKey;
    item["minimum"] = ProfileValue(requirement.id, requirement.minimum);
    item["maximum"] = ProfileValue(requirement.id, requirement.maximum);
    item["required"] = ProfileValue(requirement.id, requirement.required);
    item["allowNeverOrOff"] = requirement.allowNeverOrOff
                                  ? JsonDocument(*requirement.allowNeverOrOff)
                                  : JsonDocument(nullptr);
    item["text"] = RequirementText(requirement);
    requirements.push_back(std::move(item));
  }
  return json;
}

JsonDocument FindingJson(const AuditFinding& finding) {
  JsonDocument json;
  json["dn"] = finding.dn;
  json["setting"] = finding.setting
                        ? JsonDocument(Setting(*finding.setting).jsonKey)
                        : JsonDocument(nullptr);
  json["rule"] = finding.rule;
  json["found"] = finding.setting && finding.found
                      ? SettingJson(*finding.setting, *finding.found)
                      : JsonDocument(nullptr);
  json["required"] = TextOrNull(finding.required);
  json["detail"] = TextOrNull(finding.detail);
  json["picked"] = TextOrNull(finding.picked);
  return json;
}

}  // namespace

void PrintAuditDocument(const RunState& state, const AuditProfile& profile,
                        const std::vector<const PolicyRecord*>& policies,
                        const std::vector<AuditFinding>& profileFindings,
                        const std::vector<AuditFinding>& crossFindings) {
  JsonDocument document = DocumentHead(state, "audit");
  document["profile"] = ProfileJson(profile);
  JsonDocument& list = document["policies"] = JsonDocument::array();
  for (const PolicyRecord* record : policies)
    list.push_back(PolicyJson(*record));
  JsonDocument& findings = document["findings"] = JsonDocument::array();
  for (const AuditFinding& finding : profileFindings)
    findings.push_back(FindingJson(finding));
  for (const AuditFinding& finding : crossFindings)
    findings.push_back(FindingJson(finding));
  PrintJsonDocument(document);
}

}  // namespace talvex
