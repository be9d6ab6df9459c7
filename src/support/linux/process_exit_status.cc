// The exit status on Linux: the parent sees only the low 8 bits of it.
#include "support/run_exit.h"

namespace talvex {

// A code such as 256 (a result outside the usual range, or a Windows-style
// code) would be cut to 0 and read as success; it ends with 1, the status
// this tool gives every failure that has no code of its own. Every other
// code is passed on unchanged, as the scripts that read it expect.
int ProcessExitStatus(int exitCode) {
  constexpr int kLowByte = 0xff;
  return exitCode != 0 && (exitCode & kLowByte) == 0 ? 1 : exitCode;
}

}  // namespace talvex
