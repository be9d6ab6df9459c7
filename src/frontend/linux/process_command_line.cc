#include "frontend/process_command_line.h"

namespace talvex {

CommandLine BuildProcessCommandLine(int argc, char** argv, bool keepCase) {
  return BuildCommandLine(argc, argv, keepCase);
}

}  // namespace talvex
