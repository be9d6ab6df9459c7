#include "support/usage_hint.h"

#include "support/output.h"
#include "support/program_info.h"
#include "support/run_exit.h"

namespace talvex {

void ShowUsageHint() {
  PrintLine("\nType " + Program().displayName + " /? for usage assistance.\n\n");
  EndRun(1);
}

void RefuseRequest(const std::vector<std::string>& lines) {
  PrintLine("ERROR:");
  for (const std::string& line : lines) PrintLine(line);
  PrintLine("ERROR:");
  ShowUsageHint();
}

}  // namespace talvex
