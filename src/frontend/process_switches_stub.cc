// Placeholder until the switch parser lands; the frontend replaces it.
#include "frontend/application_switches.h"
#include "frontend/command_line.h"

namespace talvex {

CommandLine BuildCommandLine(int, char**, bool) { return CommandLine(); }
void ProcessApplicationSwitches(CommandLine&, RunConfig*) {}

}  // namespace talvex
