#include "operations/deletion_protection.h"

#include <cstdlib>

#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/run_failure.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kPageSize = 1000;
constexpr unsigned long kDeleteRight = 0x10000;     // SD
constexpr unsigned long kDeleteTreeRight = 0x40;    // DT

// Whether a run of two-letter SDDL tokens ("CIIO", "SDDT") holds token.
bool HoldsToken(std::string_view tokens, std::string_view token) {
  for (std::size_t i = 0; i + 1 < tokens.size(); i += 2) {
    if (tokens.substr(i, 2) == token) return true;
  }
  return false;
}

bool RightsDeleteObject(std::string_view rights) {
  if (rights.starts_with("0x") || rights.starts_with("0X")) {
    const std::string text(rights);
    unsigned long mask = std::strtoul(text.c_str(), nullptr, 16);
    return (mask & (kDeleteRight | kDeleteTreeRight)) != 0;
  }
  return HoldsToken(rights, "SD") || HoldsToken(rights, "DT");
}

}  // namespace

bool DeniesDeletion(std::string_view sddl) {
  // Only the DACL: a SACL's audit ACEs deny nothing.
  std::size_t start = sddl.find("D:");
  if (start == std::string_view::npos) return false;
  std::size_t end = sddl.find("S:", start);
  std::string_view dacl = sddl.substr(start, end - start);
  for (std::size_t open = dacl.find('('); open != std::string_view::npos;
       open = dacl.find('(', open + 1)) {
    std::size_t close = dacl.find(')', open);
    if (close == std::string_view::npos) break;
    // type;flags;rights;object type;inherited object type;trustee
    std::string_view ace = dacl.substr(open + 1, close - open - 1);
    std::string_view fields[6];
    std::size_t count = 0;
    for (std::size_t from = 0; count < 6; ++count) {
      std::size_t semicolon = ace.find(';', from);
      fields[count] = ace.substr(from, semicolon - from);
      if (semicolon == std::string_view::npos) {
        ++count;
        break;
      }
      from = semicolon + 1;
    }
    // An object ACE (OD) limits its deny to a property or child class.
    if (count != 6 || fields[0] != "D") continue;
    if (fields[5] != "WD" && fields[5] != "S-1-1-0") continue;
    // Inherit-only: meant for the children, not the object itself.
    if (HoldsToken(fields[1], "IO")) continue;
    if (RightsDeleteObject(fields[2])) return true;
  }
  return false;
}

std::set<std::string> ProtectedPsos(RunState& state) {
  const std::string& base = state.serverInfo.defaultNamingContext;
  std::set<std::string> found;
  int status = LdapGetRecPages(
      *state.mainConnection, base, "subtree",
      "objectCategory=msDS-PasswordSettings", {"nTSecurityDescriptor"},
      ControlMap{{"SD-DACL", ""}}, {.pageSize = kPageSize},
      [&found](RecordSet& page) {
        for (const Record& entry : page) {
          if (DeniesDeletion(FirstAttributeValue(entry, "nTSecurityDescriptor")))
            found.insert(LowerCase(FirstValue(entry, kDnKey)));
        }
      });
  if (status != 0) {
    FailLdapCall(state, "ERROR: ldap_search_s (" + base + "): ",
                 state.controllerName, status);
  }
  return found;
}

}  // namespace talvex
