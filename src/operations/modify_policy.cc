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

// One line for the settings a domain head folds into pwdProperties, every
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

// The position of the first "," that ends the first RDN ("\," is part of a
// value), or the DN's length when it has a single RDN.
std::size_t FirstRdnEnd(const std::string& dn) {
  for (std::size_t i = 0; i < dn.size(); ++i) {
    if (dn[i] == '\\') {
      ++i;
    } else if (dn[i] == ',') {
      return i;
    }
  }
  return dn.size();
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

std::string ReplaceFirstRdnValue(const std::string& dn,
                                 const std::string& value) {
  std::size_t end = FirstRdnEnd(dn);
  std::size_t equals = dn.find('=');
  std::string type = equals < end ? dn.substr(0, equals) : "CN";
  return type + "=" + EscapeRdnValue(value) + dn.substr(end);
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
  // The rename routine takes the value after a first "=", so the RDN type
  // goes in front: a new name that itself holds "=" stays whole.
  std::string type = record.dn().substr(0, record.dn().find('='));
  int code = LdapRename(connection, record.dn(), type + "=" + record.name());
  if (code == ldap_result::kSuccess) {
    record.SetDN(ReplaceFirstRdnValue(record.dn(), record.name()));
  }
  return code;
}

}  // namespace talvex
