// The exit status on Windows: the whole 32-bit code reaches the parent.
#include "support/run_exit.h"

namespace talvex {

int ProcessExitStatus(int exitCode) { return exitCode; }

}  // namespace talvex
