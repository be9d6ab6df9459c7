// The process's own command line, split by the platform's rules.
#pragma once

#include "frontend/command_line.h"

namespace talvex {

// Linux takes the tokens as the shell split them (argv); Windows reads
// the process command line (GetCommandLineW) and splits it with
// CommandLineToArgvW, as every Windows program does.
CommandLine BuildProcessCommandLine(int argc, char** argv, bool keepCase);

}  // namespace talvex
