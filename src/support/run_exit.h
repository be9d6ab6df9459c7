// The one place where the process ends.
#pragma once

namespace talvex {

// Ends the run with the exit code, as ProcessExitStatus maps it.
[[noreturn]] void EndRun(int exitCode);

// The exit code of an audit that ran to its end and found something (as
// diff and terraform plan -detailed-exitcode answer). A failed run never
// ends with it unless an LDAP call failed with result 2 (protocolError),
// and that run prints an error report and no audit.
inline constexpr int kExitFindings = 2;

// The status the process ends with for the run's exit code. Linux keeps
// the low 8 bits of the status, so an LDAP result code such as 32 or 49
// survives and -1 reads 255; a failure code whose low 8 bits are all 0
// (256) becomes 1 there, so that it never reads as success. Windows keeps
// the whole code.
int ProcessExitStatus(int exitCode);

}  // namespace talvex
