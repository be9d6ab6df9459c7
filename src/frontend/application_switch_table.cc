#include "frontend/application_switch_table.h"

namespace talvex {

const SwitchTable& ApplicationSwitchTable() {
  // "simple" is a value switch on purpose: a token after -simple is taken as
  // its (ignored) value rather than as a stray argument.
  static const SwitchTable table = {
      ":?",          ":??",         ":help",     ":q",
      ":vv",         "d",           "v",         ":view",
      ":allpwdpols", ":used",       ":unused",   ":alldoms",
      ":dompol",     ":override",   ":del",      ":multidel",
      ":forreal",    ":dn",         ":dnprec",   ":quickstart",
      ":applied",    ":clearapplied", "add",     "domain",
      "gch",         "h",           "p",         "u",
      "up",          "simple",      "pso",       "sort",
      "lockout",     "pwdage",      "pwdlen",    "pwdhist",
      "pwdcomplex",  "pwdreverse",  "rename",    "mod",
      "applyto",     "unapplyto",   "effective",
      // Connection security (TLS) for every connection of the run.
      ":ssl",        ":starttls",
  };
  return table;
}

}  // namespace talvex
