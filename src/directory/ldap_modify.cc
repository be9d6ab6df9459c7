#include "directory/ldap_modify.h"

#include <map>

#include "directory/distinguished_name.h"
#include "directory/ldap_error_report.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kParameterDebugLevel = 5;

void Debug(const std::string& line) {
  if (Output().debugLevel >= kParameterDebugLevel) PrintDebugLine(line);
}

}  // namespace

int LdapDelete(LdapConnection& connection, const std::string& dn) {
  return connection.Delete(dn);
}

int LdapRename(LdapConnection& connection, const std::string& dn,
               const std::string& newName) {
  std::string newRdn = RenamedRdn(dn, newName);
  Debug("Rename " + dn + " to " + newRdn);
  return connection.Rename(dn, newRdn, true);
}

int LdapModify(LdapClient& client, LdapConnection& connection,
               const std::string& dn, const std::vector<std::string>& items) {
  Debug("Setting " + dn);
  std::vector<LdapModification> modifications;
  for (const auto& item : items) {
    std::size_t colon = item.find(':');
    // An item without a colon names no change; it is not taken as a
    // request to clear the attribute.
    if (colon == std::string::npos) continue;
    std::string attribute = item.substr(0, colon);
    std::string value = item.substr(colon + 1);
    if (value.empty()) {
      modifications.push_back({LdapModOp::kDelete, attribute, {}});
      Debug("Clear - " + attribute);
    } else {
      modifications.push_back({LdapModOp::kReplace, attribute, {value}});
      Debug("Set - " + attribute + " to " + value);
    }
  }
  Debug("modcnt=" + std::to_string(modifications.size()));
  if (modifications.empty()) return 0;
  int code = connection.Modify(dn, modifications);
  Debug("uErr=" + std::to_string(code));
  if (code != 0 && !Output().quiet) {
    ReportLdapError(client, "LDAP_MODIFY_SW", dn, code, &connection);
  }
  return code;
}

int LdapSetValues(LdapConnection& connection, const std::string& dn,
                  const std::string& attribute,
                  const std::vector<std::string>& values, bool add) {
  Debug("Setting " + dn + " \\ " + attribute);
  LdapModification modification;
  modification.op = add ? LdapModOp::kAdd : LdapModOp::kDelete;
  modification.attribute = attribute;
  for (const auto& value : values) {
    modification.values.push_back(value);
    Debug("Set - " + value);
  }
  int code = connection.Modify(dn, {modification});
  Debug("uErr=" + std::to_string(code));
  return code;
}

std::vector<std::string> LdapGetAttrNames(LdapConnection& connection,
                                          const std::string& dn) {
  LdapSearchRequest request;
  request.base = dn;
  request.scope = LdapScope::kBase;
  request.filter = "(objectclass=*)";
  request.attributes = {"*"};
  request.attributesOnly = true;
  std::vector<LdapEntry> entries;
  std::string cookie;
  int code = connection.Search(request, 0, &cookie, &entries);
  std::vector<std::string> names;
  if (code != 0 || entries.empty()) return names;
  for (const auto& attribute : entries.front().attributes) {
    names.push_back(attribute.name);
  }
  return names;
}

int LdapClearAttribs(LdapConnection& connection, const std::string& dn,
                     const std::vector<std::string>& attributes) {
  Debug("Retrieving DN attributes...");
  // The object's own spelling of each attribute, by lower-cased name.
  std::map<std::string, std::string> present;
  for (const auto& name : LdapGetAttrNames(connection, dn)) {
    present[LowerCase(name)] = name;
  }
  Debug("Clearing DN: " + dn);
  std::vector<LdapModification> modifications;
  for (const auto& requested : attributes) {
    auto it = present.find(LowerCase(requested));
    if (it == present.end()) continue;
    modifications.push_back({LdapModOp::kDelete, it->second, {}});
    Debug("Clear - " + it->second);
  }
  Debug("modcnt=" + std::to_string(modifications.size()));
  // Clearing what the object does not carry succeeds without a request.
  if (modifications.empty()) return 0;
  return connection.Modify(dn, modifications);
}

}  // namespace talvex
