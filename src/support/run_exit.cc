#include "support/run_exit.h"

#include <cstdlib>

namespace talvex {

void EndRun(int exitCode) { std::exit(ProcessExitStatus(exitCode)); }

}  // namespace talvex
