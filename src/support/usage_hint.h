// The hint that ends every refused request.
#pragma once

namespace talvex {

// Prints "\nType Talvex /? for usage assistance.\n\n" as a line and ends the
// run with exit code 1.
[[noreturn]] void ShowUsageHint();

}  // namespace talvex
