// The usage text: the tool's only help.
#pragma once

#include <string>

namespace talvex {

// The two help lines, "Usage:" with the display name and the "Switches:"
// heading.
std::string UsageHead();
// Every public switch, the add/modify specification, examples and the
// closing notice.
std::string UsageBody();

// Prints the head, and the body when full, then ends the run with exit
// code 1.
[[noreturn]] void ShowUsage(bool full);

}  // namespace talvex
