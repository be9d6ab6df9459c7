// The rename action: gives the one selected PSO a new name.
#include <cctype>
#include <string>
#include <string_view>

#include "directory/ldap_modify.h"
#include "operations/actions.h"
#include "operations/run_failure.h"
#include "support/output.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// RFC 4512 descriptor (a letter, then letters, digits and hyphens) or
// numeric OID: the forms an RDN's attribute type takes.
bool IsAttributeType(std::string_view text) {
  if (text.empty()) return false;
  bool descriptor = std::isalpha(static_cast<unsigned char>(text[0])) != 0;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (descriptor ? !(std::isalnum(u) || c == '-')
                   : !(std::isdigit(u) || c == '.')) {
      return false;
    }
  }
  return true;
}

// "CN=new" and "new" both name new: an attribute type before a first "="
// is dropped (the PSO keeps its own RDN type). A name whose text before the
// "=" is no attribute type (such as "a,OU=x") is a name, and goes whole.
std::string NewNameValue(const std::string& newName) {
  std::size_t equals = newName.find('=');
  if (equals == std::string::npos ||
      !IsAttributeType(std::string_view(newName).substr(0, equals))) {
    return newName;
  }
  return newName.substr(equals + 1);
}

}  // namespace

void RunRename(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Rename");
  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No PSO to rename with the specified criteria.");
    PrintLine("");
    return;
  }
  if (state.policies.size() > 1) {
    PrintLine("ERROR:");
    PrintLine(
        "ERROR: Can only rename one object at a time, be more specific with "
        "selection criteria.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  const std::string dn = state.policies.begin()->second.dn();
  if (config.forReal) {
    RequirePsoOfTheRun(state, dn);
    PrintLine("Renaming PSO:");
    PrintLine("  " + VisibleText(dn));
    int code =
        LdapRename(*state.mainConnection, dn, NewNameValue(config.renameTo));
    if (code != 0) {
      FailLdapCall(state, "ERROR: ldap_rename_ext_s (" + dn + "): ",
                   state.controllerName, code);
    }
    PrintLine("PSO successfully renamed.");
  } else {
    PrintLine("");
    PrintNotForRealBanner();
    PrintLine("DN to be renamed had this been for real. (newname=" +
              VisibleText(config.renameTo) + ")");
    PrintLine("  " + VisibleText(dn));
  }
}

}  // namespace talvex
