// Placeholder until the changing actions land.
#include "operations/actions.h"
#include "support/output.h"

namespace talvex {

void RunAdd(RunState&) { PrintLine("ERROR: -add is not available yet."); }
void RunDelete(RunState&) { PrintLine("ERROR: -del is not available yet."); }
void RunRename(RunState&) { PrintLine("ERROR: -rename is not available yet."); }
void RunModify(RunState&) { PrintLine("ERROR: -mod is not available yet."); }
void RunQuickStart(RunState&) {
  PrintLine("ERROR: -quickstart is not available yet.");
}

}  // namespace talvex
