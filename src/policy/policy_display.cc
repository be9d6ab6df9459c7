#include "policy/policy_display.h"

#include "policy/policy_settings.h"
#include "support/output.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

using enum SettingId;

// The settings in the order the listing shows them after the names.
constexpr SettingId kListedSettings[] = {
    kLockoutThreshold, kLockoutDuration, kLockoutObservation,
    kMinPwdAge,        kMaxPwdAge,       kMinPwdLength,
    kPwdHistory,       kComplexity,      kReversible,
};

// The debug dump's order differs: maximum age before minimum.
constexpr SettingId kDebugSettings[] = {
    kLockoutDuration, kLockoutObservation, kLockoutThreshold, kMaxPwdAge,
    kMinPwdAge,       kMinPwdLength,       kComplexity,       kPwdHistory,
    kReversible,      kPrecedence,
};

}  // namespace

std::span<const SettingId> ListedSettings() { return kListedSettings; }

std::string SettingText(const PolicyRecord& record, SettingId id) {
  if (record.IsUnset(id)) return "(unset)";
  if (const std::string* text = record.InvalidText(id)) {
    return "(invalid: " + *text + ")";
  }
  return record.Text(id);
}

void DisplayPolicy(const PolicyRecord& record, const std::string& prefix) {
  const std::string indent = prefix + "    ";
  // One buffer for every line: thousands of policies are shown at a time.
  std::string text;
  auto line = [&](const char* label, std::string_view value) {
    text.assign(indent);
    text += label;
    AppendVisibleText(&text, value);
    PrintLine(text);
  };
  line("Type               : ",
       record.isPSO() ? "Policy Settings Object" : "Domain Policy");
  line("Domain             : ", record.domain());
  line(Setting(kPrecedence).displayLabel, SettingText(record, kPrecedence));
  line("DN                 : ", record.dn());
  line("Name               : ", record.name());
  line("Canonical Name     : ", record.canonicalName());
  line("Display Name       : ", record.displayName());
  for (SettingId id : kListedSettings) {
    line(Setting(id).displayLabel, SettingText(record, id));
  }
}

void WarnUnsetOrInvalidSettings(const std::vector<const PolicyRecord*>& shown) {
  bool any = false;
  bool psoUnset = false;
  for (const PolicyRecord* record : shown) {
    any = any || record->HasUnsetSettings() || record->HasInvalidSettings();
    psoUnset = psoUnset || (record->isPSO() && record->HasUnsetSettings());
  }
  if (!any) return;
  PrintLine("WARN:");
  PrintLine(
      "WARN: Settings shown as (unset) are missing from the directory entry, "
      "settings");
  PrintLine(
      "WARN: shown as (invalid: ...) hold text that is not a value of the "
      "setting.");
  if (psoUnset) {
    PrintLine(
        "WARN: Every PSO holds all its settings: the account of this bind "
        "lacks the rights");
    PrintLine(
        "WARN: to read them (PSOs are readable by domain administrators "
        "only).");
  }
  PrintLine("WARN:");
}

void DebugPolicy(const std::string& heading, const PolicyRecord& record) {
  const struct {
    const char* label;
    std::string value;
  } names[] = {
      {"  PSO                : ", FormatBool(record.isPSO())},
      {"  Domain             : ", record.domain()},
      {"  DN                 : ", record.dn()},
      {"  Name               : ", record.name()},
      {"  Canonical Name     : ", record.canonicalName()},
      {"  Display Name       : ", record.displayName()},
      {"  Admin Display Name : ", record.adminDisplayName()},
  };
  // The debug dump shows the numbers the record holds, also for settings
  // marked unset or invalid.
  PrintDebugLine(heading);
  for (const auto& line : names) {
    PrintDebugLine(line.label + VisibleText(line.value));
  }
  for (SettingId id : kDebugSettings) {
    PrintDebugLine(std::string("  ") + Setting(id).displayLabel +
                   VisibleText(record.Text(id)));
  }
}

bool DefaultOrder(const PolicyRecord& a, const PolicyRecord& b) {
  if (a.isPSO() != b.isPSO()) return !a.isPSO();
  return a.canonicalName() < b.canonicalName();
}

bool PrecedenceOrder(const PolicyRecord& a, const PolicyRecord& b) {
  if (a.domain() != b.domain()) return a.domain() < b.domain();
  return a.precedence() < b.precedence();
}

}  // namespace talvex
