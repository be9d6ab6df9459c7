#include "frontend/standard_switches.h"

#include "frontend/usage_text.h"
#include "support/decimal_integer.h"
#include "support/output.h"
#include "support/program_info.h"
#include "support/usage_hint.h"

namespace talvex {
namespace {

constexpr char kMakerCredit[] = "by the Talvex developers,";
constexpr int kDefaultVerboseLevel = 5;
constexpr int kFullVerboseLevel = 9;
constexpr int kDefaultDebugLevel = 1;

void SetOutputLevels(const CommandLine& commandLine) {
  OutputSettings& output = Output();
  output.quiet = commandLine.HasSwitch("q");
  // Set before anything is written, so that not even the banner or a switch
  // error reaches a standard output that a script reads as JSON.
  // -export answers with a document whatever else is asked.
  output.jsonDocument =
      commandLine.HasSwitch("json") || commandLine.HasSwitch("export");
  if (commandLine.HasSwitch("v")) {
    output.verboseLevel =
        ToInteger(commandLine.SwitchValue("v", ""), kDefaultVerboseLevel);
  }
  if (commandLine.HasSwitch("vv")) output.verboseLevel = kFullVerboseLevel;
  output.debugLevel =
      commandLine.HasSwitch("d")
          ? ToInteger(commandLine.SwitchValue("d", ""), kDefaultDebugLevel)
          : 0;
}

[[noreturn]] void ReportBadSwitches(const CommandLine& commandLine) {
  if (commandLine.missingCount != 0) {
    PrintLine("ERROR:");
    PrintLine("ERROR: Missing Command Line Arg(s)");
    for (const std::string& name : commandLine.missingSwitches) {
      PrintLine("ERROR:  " + name);
    }
    PrintLine("ERROR:");
  }
  if (commandLine.unknownCount != 0) {
    PrintLine("ERROR:");
    PrintText("ERROR: Bad Command Line Arg(s)\n");
    for (const std::string& name : commandLine.unknownSwitches) {
      PrintLine("ERROR:  " + name);
    }
    PrintLine("ERROR:");
  }
  PrintText("\n\n");
  ShowUsageHint();
}

}  // namespace

std::string BannerText() {
  const ProgramInfo& program = Program();
  return "\n" + program.displayName + " " + program.version + " " +
         kMakerCredit + " " + program.releaseDate + "\n\n";
}

void ProcessStandardSwitches(CommandLine& commandLine,
                             const SwitchTable& table) {
  SetOutputLevels(commandLine);
  if (Output().debugLevel >= 1) {
    PrintDebugLine("");
    PrintDebugLine("Debug strings enabled.");
    PrintDebugLine("");
  }
  if (!Output().quiet && !Output().jsonDocument) PrintText(BannerText());

  if (commandLine.ArgumentCount() == 0 && commandLine.SwitchCount() == 0) {
    ShowUsage(/*full=*/true);
  }
  if (commandLine.ValidateSwitches(table) > 0) ReportBadSwitches(commandLine);

  if (commandLine.HasSwitch("help") || commandLine.HasSwitch("?")) {
    ShowUsage(/*full=*/true);
  }
  if (commandLine.HasSwitch("??")) ShowUsage(/*full=*/false);

  if (Output().debugLevel >= 1) {
    PrintDebugLine("Processing Application Specific Switches...");
  }
}

}  // namespace talvex
