// Program entry: one pass of the tool.
#include <memory>

#include "directory/platform_client.h"
#include "frontend/application_switches.h"
#include "frontend/process_command_line.h"
#include "operations/execute_action.h"
#include "operations/run_config.h"
#include "support/output.h"
#include "support/run_exit.h"

int main(int argc, char** argv) {
  using namespace talvex;
  CommandLine commandLine =
      BuildProcessCommandLine(argc, argv, /*keepCase=*/false);
  RunConfig config;
  ProcessApplicationSwitches(commandLine, &config);
  if (Output().debugLevel >= 5) {
    PrintDebugLine("Processing command line completed.");
  }

  std::unique_ptr<LdapClient> client = MakePlatformLdapClient();
  std::unique_ptr<DcLocator> locator = MakePlatformDcLocator();
  int status = ExecuteAction(config, &config.password, *client, *locator);

  // With -json the document alone tells a script that the run succeeded.
  // An audit with findings completed too.
  const bool completed = status == 0 || status == kExitFindings;
  if (!completed || !Output().jsonDocument) {
    PrintLine(completed ? "\nThe command completed successfully.\n"
                        : "\nThe command did not complete successfully.\n");
  }
  return status;
}
