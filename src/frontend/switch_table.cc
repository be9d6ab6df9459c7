#include "frontend/switch_table.h"

#include <algorithm>

#include "policy/policy_settings.h"

namespace talvex {

SwitchDeclaration ReadSwitchDeclaration(std::string_view entry) {
  if (!entry.empty() && entry.front() == ':') {
    return {.kind = SwitchKind::kFlag, .name = entry.substr(1)};
  }
  if (!entry.empty() && entry.front() == '^') {
    return {.kind = SwitchKind::kRequiredValue, .name = entry.substr(1)};
  }
  return {.kind = SwitchKind::kValue, .name = entry};
}

const SwitchTable& ApplicationSwitchTable() {
  // "simple" is a value switch on purpose: a token after -simple is taken as
  // its (ignored) value rather than as a stray argument.
  static const SwitchTable table = [] {
    SwitchTable switches = {
        ":?",          ":??",
        ":help",       ":q",
        ":vv",         "d",
        "v",           ":view",
        ":allpwdpols", ":used",
        ":unused",     ":alldoms",
        ":dompol",     ":override",
        ":del",        ":multidel",
        ":forreal",    ":dn",
        ":dnprec",     ":quickstart",
        ":applied",    ":clearapplied",
        "add",         "domain",
        "gch",         "h",
        "p",           "u",
        "up",          "simple",
        "pso",         "sort",
    };
    // The switches that override fields of -add and -mod, each once.
    for (const PolicySetting& setting : PolicySettings()) {
      if (setting.overrideSwitch != nullptr &&
          std::find(switches.begin(), switches.end(), setting.overrideSwitch) ==
              switches.end()) {
        switches.emplace_back(setting.overrideSwitch);
      }
    }
    switches.insert(
        switches.end(),
        {
            "rename",
            "mod",
            "applyto",
            "unapplyto",
            "effective",
            // Connection security (TLS) for every connection of the run.
            ":ssl",
            ":starttls",
            // One JSON document on standard output for the reading actions.
            ":json",
            // Grading the policies against a baseline profile.
            "audit",
            // Which policy governs every account, and the subtree read.
            ":coverage",
            "base",
            // The selected policies as one document to keep and edit.
            ":export",
            // Making the domain match such a document.
            "sync",
            ":prune",
        });
    return switches;
  }();
  return table;
}

}  // namespace talvex
