// Reading every application switch into the run configuration.
#pragma once

#include "frontend/command_line.h"
#include "operations/run_config.h"

namespace talvex {

// Runs the standard switch processing (banner, validation, help) and reads
// the application switches into *config. Returns only when *config holds
// exactly one action; every error ends the run with exit code 1.
void ProcessApplicationSwitches(CommandLine& commandLine, RunConfig* config);

}  // namespace talvex
