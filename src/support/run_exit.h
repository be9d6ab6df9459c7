// The one place where the process ends.
#pragma once

namespace talvex {

// Ends the run with the exit code. Linux keeps the low 8 bits of the status,
// so an LDAP result code such as 32 or 49 survives and -1 reads 255.
[[noreturn]] void EndRun(int exitCode);

}  // namespace talvex
