// The one place where the process ends.
#pragma once

namespace talvex {

// Ends the run with the exit code, as ProcessExitStatus maps it.
[[noreturn]] void EndRun(int exitCode);

// The status the process ends with for the run's exit code. Linux keeps
// the low 8 bits of the status, so an LDAP result code such as 32 or 49
// survives and -1 reads 255; a failure code whose low 8 bits are all 0
// (256) becomes 1 there, so that it never reads as success. Windows keeps
// the whole code.
int ProcessExitStatus(int exitCode);

}  // namespace talvex
