// Placeholder until the switch parser lands; the frontend owns this file.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace talvex {

struct CommandLine {
  std::string programPath;
  std::map<std::string, std::string> switches;
  std::vector<std::string> arguments;
};

CommandLine BuildCommandLine(int argc, char** argv, bool keepCase);

}  // namespace talvex
