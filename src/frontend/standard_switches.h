// The switches every run understands: quiet, verbose, debug, help; the
// banner; the check of the command line against the switch table.
#pragma once

#include <string>

#include "frontend/command_line.h"
#include "frontend/switch_table.h"

namespace talvex {

// "\n" + display name, version, maker credit and release date + "\n\n".
std::string BannerText();

// Sets the output settings from -q, -v, -vv and -d, prints the debug header
// and the banner, shows the usage for an empty command line or a help
// switch, and reports unknown and missing switches. Returns only when the
// run may go on to the application switches; otherwise the run has ended
// with exit code 1.
void ProcessStandardSwitches(CommandLine& commandLine,
                             const SwitchTable& table);

}  // namespace talvex
