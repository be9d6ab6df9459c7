// The switches an application declares, and this program's table of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvex {

// One entry per declared switch; the first character gives its kind, the
// rest is the switch name in lower case:
//   ":name"  a flag: takes no value; a token after it is an argument.
//   "name"   a value switch: may take the one token after it as its value.
//   "^name"  a required value switch: its absence is reported as missing.
using SwitchTable = std::vector<std::string>;

enum class SwitchKind { kFlag, kValue, kRequiredValue };

struct SwitchDeclaration {
  SwitchKind kind = SwitchKind::kValue;
  std::string_view name;
};

// The kind and name of one table entry (a view into the entry).
SwitchDeclaration ReadSwitchDeclaration(std::string_view entry);

// The switches this program declares, in declaration order.
const SwitchTable& ApplicationSwitchTable();

}  // namespace talvex
