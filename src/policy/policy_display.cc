#include "policy/policy_display.h"

#include "support/output.h"

namespace talvex {

void DisplayPolicy(const PolicyRecord& record, const std::string& prefix) {
  const struct {
    const char* label;
    std::string value;
  } lines[] = {
      {"    Type               : ",
       record.isPSO() ? "Policy Settings Object" : "Domain Policy"},
      {"    Domain             : ", record.domain()},
      {"    Policy Precedence  : ", record.PrecedenceText()},
      {"    DN                 : ", record.dn()},
      {"    Name               : ", record.name()},
      {"    Canonical Name     : ", record.canonicalName()},
      {"    Display Name       : ", record.displayName()},
      {"    Lockout Threshold  : ", record.LockoutThresholdText()},
      {"    Lockout Duration   : ", record.LockoutDurationText()},
      {"    Lockout Observation: ", record.LockoutObservationText()},
      {"    Min Pwd Age        : ", record.MinPwdAgeText()},
      {"    Max Pwd Age        : ", record.MaxPwdAgeText()},
      {"    Min Pwd Length     : ", record.MinPwdLengthText()},
      {"    Pwd History        : ", record.PwdHistoryText()},
      {"    Pwd Complexity     : ", record.ComplexityText()},
      {"    Pwd Reversible     : ", record.ReversibleText()},
  };
  for (const auto& line : lines) PrintLine(prefix + line.label + line.value);
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
  PrintDebugLine(heading);
  for (const auto& line : lines) PrintDebugLine(line.label + line.value);
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
