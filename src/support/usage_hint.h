// The hint that ends every refused request.
#pragma once

#include <string>
#include <vector>

namespace talvex {

// Prints "\nType Talvex /? for usage assistance.\n\n" as a line and ends the
// run with exit code 1.
[[noreturn]] void ShowUsageHint();

// A refused request: "ERROR:", the lines, "ERROR:", then the usage hint and
// the end of the run with exit code 1.
[[noreturn]] void RefuseRequest(const std::vector<std::string>& lines);

}  // namespace talvex
