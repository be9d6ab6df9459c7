#include "operations/modify_policy.h"

#include <cerrno>
#include <cstdlib>

#include "directory/distinguished_name.h"
#include "directory/ldap_modify.h"
#include "policy/policy_settings.h"
#include "support/output.h"

namespace talvex {
namespace {

using enum SettingId;

// The settings in the order of the change lines, after the display names.
constexpr SettingId kChangeOrder[] = {
    kPrecedence, kLockoutThreshold, kLockoutDuration, kLockoutObservation,
    kMaxPwdAge,  kMinPwdAge,        kMinPwdLength,    kPwdHistory,
    kComplexity, kReversible,
};

// Empty or unreadable text gives 0, like the policy's other numbers.
long long ReadProperties(const std::string& text) {
  errno = 0;
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return errno == 0 ? value : 0;
}

// One line for the settings a domain head holds as bits of one attribute, every
// other bit kept as the domain has it; empty when the change names none.
std::string PwdPropertiesLine(const PolicyRecord& record) {
  long long value = ReadProperties(record.rawProperties());
  bool changed = false;
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.propertiesBit == 0 || !record.IsSpecified(setting.id)) continue;
    changed = true;
    value = record.Value(setting.id) != 0 ? (value | setting.propertiesBit)
                                          : (value & ~setting.propertiesBit);
  }
  if (!changed) return std::string();
  return std::string(kPwdPropertiesAttribute) + ":" + std::to_string(value);
}

}  // namespace

std::vector<std::string> PolicyChangeLines(const PolicyRecord& record) {
  std::vector<std::string> lines;
  if (record.IsSpecified("displayname")) {
    lines.push_back("displayName:" + record.displayName());
  }
  if (record.IsSpecified("admindisplayname")) {
    lines.push_back("adminDisplayName:" + record.adminDisplayName());
  }
  for (SettingId id : kChangeOrder) {
    const PolicySetting& setting = Setting(id);
    const char* attribute =
        record.isPSO() ? setting.psoAttribute : setting.domainAttribute;
    if (attribute == nullptr || !record.IsSpecified(id)) continue;
    lines.push_back(std::string(attribute) + ":" + record.DirectoryText(id));
  }
  if (!record.isPSO()) {
    std::string properties = PwdPropertiesLine(record);
    if (!properties.empty()) lines.push_back(properties);
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
