#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "frontend/process_command_line.h"
#include "support/output.h"
#include "support/windows/wide_text.h"

namespace talvex {

// The C runtime's argv is ignored: Windows programs receive one command
// line and split it themselves, and CommandLineToArgvW gives the standard
// split in wide characters.
CommandLine BuildProcessCommandLine(int, char**, bool keepCase) {
  int count = 0;
  LPWSTR* tokens = CommandLineToArgvW(GetCommandLineW(), &count);
  if (tokens == nullptr) {
    PrintLine("CommandLineToArgvW failed");
    return BuildCommandLine(0, nullptr, keepCase);
  }
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(Narrow(tokens[i]));
  LocalFree(tokens);
  std::vector<const char*> argv;
  for (const std::string& text : texts) argv.push_back(text.c_str());
  argv.push_back(nullptr);
  return BuildCommandLine(count, argv.data(), keepCase);
}

}  // namespace talvex
