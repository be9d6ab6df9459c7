#include "policy/policy_display.h"

#include "support/output.h"
#include "support/visible_text.h"

namespace talvex {

std::string SettingText(const PolicyRecord& record, const char* keyWord,
                        const std::string& value) {
  if (keyWord == nullptr) return value;
  if (record.IsUnset(keyWord)) return "(unset)";
  if (const std::string* text = record.InvalidText(keyWord)) {
    return "(invalid: " + *text + ")";
  }
  return value;
}

void DisplayPolicy(const PolicyRecord& record, const std::string& prefix) {
  const struct {
    const char* label;
    std::string value;
    const char* keyWord;
  } lines[] = {
      {"    Type               : ",
       record.isPSO() ? "Policy Settings Object" : "Domain Policy", nullptr},
      {"    Domain             : ", record.domain(), nullptr},
      {"    Policy Precedence  : ", record.PrecedenceText(), "precedence"},
      {"    DN                 : ", record.dn(), nullptr},
      {"    Name               : ", record.name(), nullptr},
      {"    Canonical Name     : ", record.canonicalName(), nullptr},
      {"    Display Name       : ", record.displayName(), nullptr},
      {"    Lockout Threshold  : ", record.LockoutThresholdText(),
       "lockoutthreshold"},
      {"    Lockout Duration   : ", record.LockoutDurationText(),
       "lockoutduration"},
      {"    Lockout Observation: ", record.LockoutObservationText(),
       "lockoutobservation"},
      {"    Min Pwd Age        : ", record.MinPwdAgeText(), "minpwdage"},
      {"    Max Pwd Age        : ", record.MaxPwdAgeText(), "maxpwdage"},
      {"    Min Pwd Length     : ", record.MinPwdLengthText(), "minpwdlen"},
      {"    Pwd History        : ", record.PwdHistoryText(), "pwdhistory"},
      {"    Pwd Complexity     : ", record.ComplexityText(), "complexity"},
      {"    Pwd Reversible     : ", record.ReversibleText(), "reversible"},
  };
  for (const auto& line : lines) {
    PrintLine(prefix + line.label +
              VisibleText(SettingText(record, line.keyWord, line.value)));
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
  // Note the order differs from the display: maximum age before minimum.
  const struct {
    const char* label;
    std::string value;
  } lines[] = {
      {"  PSO                : ", FormatBool(record.isPSO())},
      {"  Domain             : ", record.domain()},
      {"  DN                 : ", record.dn()},
      {"  Name               : ", record.name()},
      {"  Canonical Name     : ", record.canonicalName()},
      {"  Display Name       : ", record.displayName()},
      {"  Admin Display Name : ", record.adminDisplayName()},
      {"  Lockout Duration   : ", record.LockoutDurationText()},
      {"  Lockout Observation: ", record.LockoutObservationText()},
      {"  Lockout Threshold  : ", record.LockoutThresholdText()},
      {"  Max Pwd Age        : ", record.MaxPwdAgeText()},
      {"  Min Pwd Age        : ", record.MinPwdAgeText()},
      {"  Min Pwd Length     : ", record.MinPwdLengthText()},
      {"  Pwd Complexity     : ", record.ComplexityText()},
      {"  Pwd History        : ", record.PwdHistoryText()},
      {"  Pwd Reversible     : ", record.ReversibleText()},
      {"  Policy Precedence  : ", record.PrecedenceText()},
  };
  // The debug dump shows the numbers the record holds, also for settings
  // marked unset or invalid.
  PrintDebugLine(heading);
  for (const auto& line : lines)
    PrintDebugLine(line.label + VisibleText(line.value));
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
