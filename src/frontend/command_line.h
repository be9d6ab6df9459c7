// The parsed command line: switches with at most one value each, and
// positional arguments.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/switch_table.h"

namespace talvex {

struct CommandLine {
  // The program as invoked; never an argument.
  std::string programPath;
  // Switch name (lower case unless keepCase) to its value; a switch given
  // without a value maps to the empty string.
  std::map<std::string, std::string> switches;
  std::vector<std::string> arguments;
  // Filled by ValidateSwitches.
  std::vector<std::string> unknownSwitches;
  std::vector<std::string> missingSwitches;
  int unknownCount = -1;  // -1 until validation has run
  int missingCount = 0;
  bool keepCase = false;

  // Whether the switch was given, with or without a value.
  bool HasSwitch(std::string_view name) const;
  // The switch's value when it was given (possibly empty), else the default.
  std::string SwitchValue(std::string_view name,
                          std::string_view defaultValue) const;
  // Moves the switch's value into *value, when the switch was given, and
  // wipes what the table held; the switch stays given, with an empty value.
  // For a secret given on the command line (the password), so that the
  // table keeps no copy of it.
  void TakeSwitchValue(std::string_view name, std::string* value);
  int ArgumentCount() const;
  int SwitchCount() const;

  // Moves values given to flags into the arguments, then collects the
  // switches the table does not declare (in name order) and the required
  // switches not given. Returns the number of unknown plus missing switches.
  int ValidateSwitches(const SwitchTable& table);
};

// Sorts the tokens argv[1..argc-1], as the shell split them, into switches
// and arguments. A token is a switch when it starts with "/" and holds no
// further "/" (so /tmp/p.json is a value), or with "-"
// not followed by a decimal digit (so -5 is a value); a switch takes the
// token directly after it as its value unless that token is a switch.
CommandLine BuildCommandLine(int argc, const char* const* argv, bool keepCase);

}  // namespace talvex
