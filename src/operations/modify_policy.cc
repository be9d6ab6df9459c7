#include "operations/modify_policy.h"

#include <cerrno>
#include <cstdlib>

#include "directory/distinguished_name.h"
#include "directory/ldap_modify.h"
#include "support/output.h"

namespace talvex {
namespace {

// Bit values of the domain head's pwdProperties that a policy holds.
constexpr long long kComplexityBit = 1;
constexpr long long kReversibleBit = 16;

struct ChangeField {
  const char* keyWord;
  const char* psoAttribute;
  const char* domainAttribute;  // nullptr: not written on a domain head
  std::string (*value)(const PolicyRecord&);
};

// The order of this table is the order of the change lines.
const ChangeField kChangeFields[] = {
    {"displayname", "displayName", "displayName",
     [](const PolicyRecord& r) { return r.displayName(); }},
    {"admindisplayname", "adminDisplayName", "adminDisplayName",
     [](const PolicyRecord& r) { return r.adminDisplayName(); }},
    {"precedence", "msDS-PasswordSettingsPrecedence", nullptr,
     [](const PolicyRecord& r) { return r.PrecedenceText(); }},
    {"lockoutthreshold", "msDS-LockoutThreshold", "lockoutThreshold",
     [](const PolicyRecord& r) { return r.LockoutThresholdText(); }},
    {"lockoutduration", "msDS-LockoutDuration", "lockoutDuration",
     [](const PolicyRecord& r) { return r.LockoutDurationInterval(); }},
    {"lockoutobservation", "msDS-LockoutObservationWindow",
     "lockOutObservationWindow",
     [](const PolicyRecord& r) { return r.LockoutObservationInterval(); }},
    {"maxpwdage", "msDS-MaximumPasswordAge", "maxPwdAge",
     [](const PolicyRecord& r) { return r.MaxPwdAgeInterval(); }},
    {"minpwdage", "msDS-MinimumPasswordAge", "minPwdAge",
     [](const PolicyRecord& r) { return r.MinPwdAgeInterval(); }},
    {"minpwdlen", "msDS-MinimumPasswordLength", "minPwdLength",
     [](const PolicyRecord& r) { return r.MinPwdLengthText(); }},
    {"pwdhistory", "msDS-PasswordHistoryLength", "pwdHistoryLength",
     [](const PolicyRecord& r) { return r.PwdHistoryText(); }},
    // Folded into pwdProperties on a domain head.
    {"complexity", "msDS-PasswordComplexityEnabled", nullptr,
     [](const PolicyRecord& r) { return r.ComplexityText(); }},
    {"reversible", "msDS-PasswordReversibleEncryptionEnabled", nullptr,
     [](const PolicyRecord& r) { return r.ReversibleText(); }},
};

// Empty or unreadable text gives 0, like the policy's other numbers.
long long ReadProperties(const std::string& text) {
  errno = 0;
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return errno == 0 ? value : 0;
}

std::string PwdPropertiesLine(const PolicyRecord& record) {
  long long value = ReadProperties(record.rawProperties());
  if (record.IsSpecified("complexity")) {
    value = record.complexity() ? (value | kComplexityBit)
                                : (value & ~kComplexityBit);
  }
  if (record.IsSpecified("reversible")) {
    value = record.reversible() ? (value | kReversibleBit)
                                : (value & ~kReversibleBit);
  }
  return "pwdProperties:" + std::to_string(value);
}

}  // namespace

std::vector<std::string> PolicyChangeLines(const PolicyRecord& record) {
  std::vector<std::string> lines;
  for (const ChangeField& field : kChangeFields) {
    if (!record.IsSpecified(field.keyWord)) continue;
    const char* attribute =
        record.isPSO() ? field.psoAttribute : field.domainAttribute;
    if (attribute == nullptr) continue;
    lines.push_back(std::string(attribute) + ":" + field.value(record));
  }
  if (!record.isPSO() &&
      (record.IsSpecified("complexity") || record.IsSpecified("reversible"))) {
    lines.push_back(PwdPropertiesLine(record));
  }
  return lines;
}

int ModifyPolicy(PolicyRecord& record, LdapClient& client,
                 LdapConnection& connection) {
  if (record.dn().empty()) return ldap_result::kInvalidDnSyntax;
  bool detail = Output().debugLevel >= 5;

  std::vector<std::string> lines = PolicyChangeLines(record);
  if (!lines.empty()) {
    if (detail) {
      PrintDebugLine("Modifying Object: " + record.dn());
      for (const std::string& line : lines) PrintDebugLine("   " + line);
    }
    int code = LdapModify(client, connection, record.dn(), lines);
    // A refused change leaves the name alone.
    if (code != ldap_result::kSuccess) return code;
  }

  if (!record.isPSO() || !record.IsSpecified("name")) return 0;
  if (detail) {
    PrintDebugLine("Modifying Object (Rename): " + record.dn() + " to " +
                   record.name());
  }
  int code = LdapRename(connection, record.dn(), record.name());
  if (code == ldap_result::kSuccess) {
    record.SetDN(RenamedDn(record.dn(), record.name()));
  }
  return code;
}

}  // namespace talvex
